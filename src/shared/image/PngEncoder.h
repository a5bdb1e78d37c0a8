// PNG encoding tuned for screenshots: fast filtering and compression, straight RGBA.
#pragma once

#include "shared/image/Bands.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavelin::shared::image {

// The PNG bytes of image (8-bit RGBA, or RGB for an image without alpha); none on failure.
// Bands are compressed on helper threads started with start (plain threads when empty).
std::optional<std::vector<uint8_t>> encodeScreenshotPng(const QImage& image, const ThreadStart& start = {});

}
