// PNG encoding tuned for screenshots: fast filtering and compression, straight RGBA.
#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavelin::shared::image {

// The PNG bytes of image (8-bit RGBA, or RGB for an image without alpha); none on failure.
std::optional<std::vector<uint8_t>> encodeScreenshotPng(const QImage& image);

}
