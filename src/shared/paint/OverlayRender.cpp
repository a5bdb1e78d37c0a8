// The overlay drawn into pixels: on screen, and off screen at any pixel size for screenshots.
#include "shared/paint/OverlayRender.h"

#include "core/TavelinView.h"
#include "shared/paint/QPainterCanvas.h"
#include "shared/paint/SolidCanvas.h"

#include <QPainter>

#include <cmath>

namespace tavelin::shared::paint {

void drawOverlay(QPainter& painter, core::TavelinView& view, core::Size points, double pixelsPerPoint, bool solid)
{
    QPainterCanvas canvas(painter);
    canvas.clear();
    if (solid) {
        SolidCanvas solidCanvas(canvas, pixelsPerPoint);
        view.draw(solidCanvas, points);
    } else {
        view.draw(canvas, points);
    }
}

PaintedRegion traceSolidShape(QImage& image, const QRect& area)
{
    return PaintedRegion::trace(image, area, SolidCanvas::shapeStyle);
}

QImage renderOverlayImage(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight, bool solid)
{
    if (pixelWidth <= 0 || pixelHeight <= 0 || !(points.width > 0) || !(points.height > 0))
        return {};
    if (!std::isfinite(points.width) || !std::isfinite(points.height))
        return {};
    QImage image(pixelWidth, pixelHeight, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    {
        QPainter painter(&image);
        painter.scale(pixelWidth / points.width, pixelHeight / points.height);
        drawOverlay(painter, view, points, pixelWidth / points.width, solid);
    }
    if (solid) {
        // The screen shows only the shape's pixels; the rest of the drawing stays off the file too.
        traceSolidShape(image, image.rect());
        for (int y = 0; y < image.height(); ++y) {
            auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(pixels[x]) != 255)
                    pixels[x] = 0;
            }
        }
    }
    return image;
}

}
