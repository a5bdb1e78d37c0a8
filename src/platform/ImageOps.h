// Images as QImage: rendering the overlay off screen, composing, PNG encoding and the clipboard.
#pragma once

#include "Platform.h"

#include <QImage>

namespace tavelin::qt {

class QtImage final : public Image {
public:
    explicit QtImage(QImage image) : m_image(std::move(image)) { }
    int pixelWidth() const override { return m_image.width(); }
    int pixelHeight() const override { return m_image.height(); }
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

ImageRef makeImage(QImage image); // null for a null QImage
const QImage* qimageOf(const ImageRef& image);

// solid: the drawing a window without translucency shows (no compositing manager), as on screen.
ImageRef renderOverlayImage(TavelinView& view, Size points, int pixelWidth, int pixelHeight, bool solid = false);
ImageRef composeImages(const ImageRef& base, const ImageRef& layer);
std::optional<std::vector<uint8_t>> encodePngImage(const ImageRef& image);
void putImageOnClipboard(const ImageRef& image, const std::vector<uint8_t>& png);

}
