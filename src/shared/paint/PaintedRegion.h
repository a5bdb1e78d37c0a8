// The pixels a frame painted, as the rectangles of a window shape, made opaque on the way.
#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

namespace tavelin::shared::paint {

// One rectangle of a window shape, in device pixels: the X11 wire layout, which Wayland's
// regions take too.
struct ShapeRect {
    int16_t x;
    int16_t y;
    uint16_t width;
    uint16_t height;
    bool operator==(const ShapeRect&) const = default;
};

// Without a compositing manager a window shows its pixels' colour channels and ignores alpha:
// premultiplied pixels look as if laid over black, and transparent ones are black. A window
// shaped to what was painted shows the painting and, everywhere else, the desktop beneath.
//
// One pass over a premultiplied ARGB image: every pixel at least minAlpha opaque belongs to the
// region and is laid over an opaque grey backdrop (so it shows as it would over that grey); the
// rest is left out. The rectangles come in the X11 "YXBanded" order: sorted by y, then x, rows
// with the same runs merged into one band, every rectangle of a band with the band's y and height.
class PaintedRegion {
public:
    struct Style {
        uint8_t minAlpha = 1;
        uint8_t backdropGrey = 0;
    };

    static PaintedRegion trace(QImage& image, const QRect& area, Style style);

    const std::vector<ShapeRect>& rectangles() const { return m_rectangles; }
    bool operator==(const PaintedRegion& other) const;

private:
    struct Run {
        int16_t x;
        uint16_t width;
        bool operator==(const Run&) const = default;
    };
    void closeBand(const std::vector<Run>& runs, int top, int bottom);

    std::vector<ShapeRect> m_rectangles;
};

}
