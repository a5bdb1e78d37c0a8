// The overlay drawn off screen at any pixel size, for screenshots: the same drawing as the window's.
#include "ImageOps.h"

#include "PaintedRegion.h"
#include "QPainterCanvas.h"
#include "SolidCanvas.h"
#include "TavelinView.h"

#include <QPainter>

#include <cmath>

namespace tavelin::qt {

// The image has the pixel size asked for and a device pixel ratio of pixels per point, so the
// view lays itself out in points exactly as on screen and the painter scales it to the pixels.
// Without a compositor the screen shows the solid drawing, cut to the painted pixels and made
// opaque: the same here, so the file holds what the user saw.
static void keepOnlyTheShape(QImage& image)
{
    PaintedRegion::trace(image, image.rect(), SolidCanvas::shapeStyle);
    for (int y = 0; y < image.height(); ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(pixels[x]) != 255)
                pixels[x] = 0;
        }
    }
}

ImageRef renderOverlayImage(TavelinView& view, Size points, int pixelWidth, int pixelHeight, bool solid)
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
        if (solid) {
            SolidCanvas solidCanvas(canvas, pixelWidth / points.width);
            view.draw(solidCanvas, points);
        } else {
            view.draw(canvas, points);
        }
    }
    if (solid)
        keepOnlyTheShape(image);
    return makeImage(std::move(image));
}

}
