// Blending straight into the pixels a raster QPainter paints on, for the overlay's many small shapes.
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

namespace tavelin::shared::paint {

// The premultiplied ARGB image under an active raster painter, limited to the area the painter
// may change (its system clip's bounds). A fill of a thin rectangle or a small sprite through
// QPainter costs a call per pixel row; here it is a short loop. Pixels are addressed in the
// device's own coordinates (those of QPainter::deviceTransform).
//
// A frame touches the whole image several times (clear, bands, lines, labels); at 4K that is
// more than the caches hold, so the work is ordered to pass over memory as few times as it can:
// the clear is done row by row just before a row is first drawn on, and tall fills (lines, the
// left band) are held back and done together, row by row. Anything drawn later on the columns
// of a held fill waits for it, and held fills are done in the order given, so every pixel sees
// the same blends in the same order as if each had been done at once.
class PixelTarget {
public:
    // None unless the painter paints with the raster engine on a Format_ARGB32_Premultiplied
    // image and has no clip of its own.
    static std::optional<PixelTarget> of(QPainter& painter);
    // The premultiplied ARGB image an active raster painter paints on (through any redirection),
    // or none.
    static QImage* imageOf(QPainter& painter);

    // Every pixel of the area to transparent.
    void clear();
    // Source-over of one premultiplied colour on every pixel of rect.
    void fill(const QRect& rect, QRgb premultiplied);
    // Source-over of premultiplied pixels with their top-left corner at topLeft.
    void blend(const QImage& sprite, QPoint topLeft);
    // Finishes everything held back; needed before anyone else touches the pixels.
    void flush();

    const QRect& area() const { return m_area; }

private:
    PixelTarget(QImage& image, const QRect& area);
    QRgb* row(int y) const { return reinterpret_cast<QRgb*>(m_bits + qsizetype(y) * m_stride); }
    // The row, cleared first if a clear is still owed to it.
    QRgb* rowToDraw(int y);
    void fillNow(const QRect& rect, QRgb premultiplied);
    void hold(const QRect& rect, QRgb premultiplied);
    void flushHeldOn(int left, int right);
    void flushHeld();

    uchar* m_bits;
    qsizetype m_stride;
    QRect m_area;

    std::vector<uint8_t> m_rowsToClear; // by y − area top; empty when no clear is owed
    int m_rowsLeftToClear = 0;

    struct HeldFill {
        QRect rect;
        QRgb color;
    };
    std::vector<HeldFill> m_held;
    std::vector<uint8_t> m_heldColumns; // by x − area left
};

}
