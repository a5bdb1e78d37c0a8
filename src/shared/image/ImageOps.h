// Images as QImage: rendering the overlay off screen, composing, PNG encoding and the clipboard.
#pragma once

#include "core/Platform.h"
#include "shared/image/Bands.h"

#include <QImage>

namespace tavelin::shared::image {

class QtImage final : public core::Image {
public:
    explicit QtImage(QImage image) : m_image(std::move(image)) { }
    int pixelWidth() const override { return m_image.width(); }
    int pixelHeight() const override { return m_image.height(); }
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

core::ImageRef makeImage(QImage image); // null for a null QImage
const QImage* qimageOf(const core::ImageRef& image);

core::ImageRef composeImages(const core::ImageRef& base, const core::ImageRef& layer);
// The step inside: premultiplied layer (or none) over premultiplied base, both of out's size, into
// out as straight RGBA8888; helper threads started with start.
void composeImage(const QImage& base, const QImage& layer, QImage& out, const ThreadStart& start);
std::optional<std::vector<uint8_t>> encodePngImage(const core::ImageRef& image);
void putImageOnClipboard(const core::ImageRef& image, const std::vector<uint8_t>& png);

}
