// Blending straight into the pixels a raster QPainter paints on, for the overlay's many small shapes.
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <algorithm>
#include <cmath>
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
// A 4K frame is larger than the caches, and clearing it in place reads every line of it from
// memory before writing it. So fills and sprites are only noted as they come; flush draws them
// in strips of a few rows, each in a buffer that stays in the cache, started transparent (or
// from the image where no clear is owed) and streamed to the image past the cache. Each pixel
// sees the same blends in the same order as if each had been done at once. Large frames are
// drawn by two threads, one half of the strips each.
// A premultiplied ARGB image's pixels as the target reads them: looked up once, not per blend.
struct SpritePixels {
    const QRgb* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0; // in pixels

    static SpritePixels of(const QImage& image);
};

// The nearest whole pixel to a coordinate, halves up; far beyond any device it stops.
inline int nearestPixel(double v)
{
    constexpr double limit = 1 << 24;
    return int(std::floor(std::clamp(v, -limit, limit) + 0.5));
}

// Texts on a grid as sprites, blended by the target as one shape. The text at a column and a row
// is a head (the column's) and a tail (the row's, one for each place a head can end), each a few
// sprites at offsets from the text's pen; the pen is at the nearest pixel to the column's centre
// less half the text's width, on the row's baseline. Rows are blended in order, each column by
// column, head before tail: the order the texts would be drawn one by one.
struct SpriteGrid {
    struct Piece {
        SpritePixels sprite;
        QPoint offset;
    };
    struct Part {
        uint32_t first = 0; // into pieces
        uint32_t count = 0;
    };
    struct Column {
        double centre;
        double width;
        Part head;
        uint32_t tailClass;
    };
    struct Row {
        int penY;
        uint32_t widthClass; // rows whose tails are as wide have their texts' pens at the same places
        int top, bottom;     // the pixel rows its sprites may cover
    };
    std::vector<Piece> pieces;
    std::vector<Column> columns;
    std::vector<Row> rows;
    std::vector<Part> tails; // by row, then by tail class
    uint32_t tailClasses = 1;
    std::vector<int> pens; // by width class, then by column: the pen's x

    // The width class of rows whose tails are width wide; asked once every column is in, it works
    // out the pens of a new class along the columns.
    uint32_t widthClass(double width)
    {
        for (uint32_t k = 0; k < uint32_t(widths.size()); ++k) {
            if (widths[k] == width)
                return k;
        }
        widths.push_back(width);
        for (const Column& c : columns)
            pens.push_back(nearestPixel(c.centre - (c.width + width) / 2));
        return uint32_t(widths.size() - 1);
    }
    int penX(size_t column, const Row& r) const { return pens[r.widthClass * columns.size() + column]; }
    const Part& tail(size_t row, const Column& c) const { return tails[row * tailClasses + c.tailClass]; }

private:
    std::vector<double> widths; // of the width classes' tails
};

class PixelTarget {
public:
    // None unless the painter paints with the raster engine on a Format_ARGB32_Premultiplied
    // image and has no clip of its own.
    static std::optional<PixelTarget> of(QPainter& painter);
    // The premultiplied ARGB image an active raster painter paints on (through any redirection),
    // or none.
    static QImage* imageOf(QPainter& painter);

    ~PixelTarget();
    PixelTarget(PixelTarget&&) noexcept = default;
    PixelTarget& operator=(PixelTarget&&) noexcept = default;

    // Every pixel of the area to transparent.
    void clear();
    // Source-over of one premultiplied colour on every pixel of rect.
    void fill(const QRect& rect, QRgb premultiplied);
    // Source-over of premultiplied pixels with their top-left corner at topLeft. The sprite's
    // pixels are read at the next flush: they must live until then.
    void blend(const QImage& sprite, QPoint topLeft) { blend(SpritePixels::of(sprite), topLeft); }
    void blend(const SpritePixels& sprite, QPoint topLeft)
    {
        QRect whole(topLeft, QSize(sprite.width, sprite.height));
        // Nearly every sprite lies inside: no clipping to work out.
        if (sprite.bits && whole.left() >= m_area.left() && whole.top() >= m_area.top()
            && whole.right() <= m_area.right() && whole.bottom() <= m_area.bottom() && !whole.isEmpty()) {
            m_shapes.push_back({ whole, 0, sprite.stride, sprite.bits });
            return;
        }
        QRect r = whole & m_area;
        if (sprite.bits && !r.isEmpty())
            m_shapes.push_back({ r, 0, sprite.stride,
                sprite.bits + (r.top() - topLeft.y()) * sprite.stride + (r.left() - topLeft.x()) });
    }
    // Source-over of every sprite of the grid, in its order.
    void blend(SpriteGrid grid);
    // Draws everything noted; needed before anyone else touches the pixels.
    void flush();

    const QRect& area() const { return m_area; }

    struct Strips;

private:
    PixelTarget(QImage& image, const QRect& area);

    // A fill (no source) or a sprite, already clipped to the area; source points at the sprite's
    // pixel for the rectangle's top-left corner. Or a grid of sprites over the rows of rect.
    struct Shape {
        QRect rect;
        QRgb color;
        int sourceStride; // in pixels
        const QRgb* source;
        int grid = -1; // into m_grids
    };
    struct Scratch;
    void blendGridRows(const SpriteGrid& grid, int top, int bottom, QRgb* buffer, qsizetype stride, bool wideBlends) const;

    uchar* m_bits;
    qsizetype m_stride;
    QRect m_area;
    bool m_clearOwed = false;
    std::vector<Shape> m_shapes;
    std::vector<SpriteGrid> m_grids;
};

}
