// The pixels a frame painted, as the rectangles of a window shape, made opaque on the way.
#pragma once

#include <QImage>
#include <QRect>

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace tavelin::qt {

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

    const std::vector<xcb_rectangle_t>& rectangles() const { return m_rectangles; }
    bool operator==(const PaintedRegion& other) const;

private:
    struct Run {
        int16_t x;
        uint16_t width;
        bool operator==(const Run&) const = default;
    };
    void closeBand(const std::vector<Run>& runs, int top, int bottom);

    std::vector<xcb_rectangle_t> m_rectangles;
};

}
