// The overlay's drawing interface on a QPainter, fast enough for a 4K grid with a name in every cell.
#pragma once

#include "Canvas.h"

#include <QFont>
#include <QPointF>
#include <QRgb>
#include <QTransform>
#include <QVector>

class QPainter;
class QRectF;

namespace tavelin::qt {

class MonoFace;

// Draws in device pixels: axis-aligned fills and strokes become whole-pixel fills whose alpha
// carries the partial coverage of the edge pixels (what an antialiased fill gives, without the
// rasterizer), and texts of capital letters and digits become glyphs of a face shaped once per
// size, batched into one glyph run per font and colour. Everything else goes through QPainter.
// The painter must stay active, and nobody else may draw on it, while the canvas lives.
class QPainterCanvas final : public Canvas {
public:
    explicit QPainterCanvas(QPainter& painter);
    ~QPainterCanvas() override;
    QPainterCanvas(const QPainterCanvas&) = delete;
    QPainterCanvas& operator=(const QPainterCanvas&) = delete;

    void fillRect(const Rect& rect, const Color& color) override;
    void fillRoundedRect(const Rect& rect, double radius, const Color& color) override;
    void strokeLine(Point a, Point b, const Color& color, double lineWidth) override;
    void drawText(std::string_view text, Point centre, const Font& font, const Color& color) override;
    Size measureText(std::string_view text, const Font& font) override;

    // Draws the texts still waiting in the current glyph run.
    void flush();

    // The monospaced system font at a size in points (fractional sizes kept) for a device.
    static QFont monospacedFont(const Font& font, const QPainter& painter);

private:
    class LogicalScope;

    void fillDeviceRect(const QRectF& deviceRect, QRgb premultiplied, double alpha);
    void fillWholePixels(int x, int y, int width, int height, const QColor& color);
    bool appendFastText(std::string_view text, Point centre, const Font& font, const Color& color);
    void drawTextWithQPainter(std::string_view text, Point centre, const Font& font, const Color& color);

    QPainter& m_painter;
    QTransform m_logicalWorld;  // the world transform the painter came with
    QTransform m_deviceWorld;   // the world transform that makes painter coordinates device pixels
    QTransform m_toDevice;      // points to device pixels
    bool m_axisAligned = false; // m_toDevice only scales (by the same positive factor both ways) and moves
    double m_scale = 1;

    struct PendingRun {
        const MonoFace* face = nullptr;
        QRgb color = 0;
        QVector<quint32> glyphs;
        QVector<QPointF> positions;
    };
    PendingRun m_run;
};

}
