// The overlay drawn off screen at any pixel size, for screenshots: the same drawing as the window's.
#include "ImageOps.h"

#include "QPainterCanvas.h"
#include "TavelinView.h"

#include <QPainter>

#include <cmath>

namespace tavelin::qt {

// The image has the pixel size asked for and a device pixel ratio of pixels per point, so the
// view lays itself out in points exactly as on screen and the painter scales it to the pixels.
ImageRef renderOverlayImage(TavelinView& view, Size points, int pixelWidth, int pixelHeight)
{
    if (pixelWidth <= 0 || pixelHeight <= 0 || !(points.width > 0) || !(points.height > 0))
        return nullptr;
    if (!std::isfinite(points.width) || !std::isfinite(points.height))
        return nullptr;
    QImage image(pixelWidth, pixelHeight, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return nullptr;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(pixelWidth / points.width, pixelHeight / points.height);
        QPainterCanvas canvas(painter);
        view.draw(canvas, points);
    }
    return makeImage(std::move(image));
}

}
