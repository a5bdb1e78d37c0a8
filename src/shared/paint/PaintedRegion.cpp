// The pixels a frame painted, as the rectangles of a window shape, made opaque on the way.
#include "shared/paint/PaintedRegion.h"

#include <QRgb>

#include <algorithm>
#include <array>
#include <cassert>

namespace tavelin::shared::paint {

namespace {

// What source-over onto an opaque grey adds to a premultiplied pixel of each alpha: the grey's
// share (1 − α) in every colour channel, and the missing alpha. Never overflows: a premultiplied
// channel is at most α.
std::array<QRgb, 256> backdropAdditions(uint8_t grey)
{
    std::array<QRgb, 256> table {};
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        uint32_t share = (grey * (255 - alpha) + 127) / 255;
        table[alpha] = ((255 - alpha) << 24) | (share << 16) | (share << 8) | share;
    }
    return table;
}

}

// The rows are read once, left to right; a row whose runs equal the previous row's widens the
// open band instead of starting one.
PaintedRegion PaintedRegion::trace(QImage& image, const QRect& area, Style style)
{
    assert(image.format() == QImage::Format_ARGB32_Premultiplied);
    PaintedRegion region;
    QRect r = area & image.rect() & QRect(0, 0, INT16_MAX, INT16_MAX);
    if (r.isEmpty() || style.minAlpha == 0)
        return region;
    const auto additions = backdropAdditions(style.backdropGrey);
    const uint32_t minAlpha = uint32_t(style.minAlpha) << 24;
    std::vector<Run> band;
    std::vector<Run> row;
    int bandTop = r.top();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
        row.clear();
        int x = r.left();
        const int end = r.right() + 1;
        while (x < end) {
            while (x < end && pixels[x] < minAlpha)
                ++x;
            if (x == end)
                break;
            int start = x;
            for (; x < end && pixels[x] >= minAlpha; ++x)
                pixels[x] += additions[qAlpha(pixels[x])];
            row.push_back({ int16_t(start), uint16_t(x - start) });
        }
        if (row != band) {
            region.closeBand(band, bandTop, y);
            std::swap(row, band);
            bandTop = y;
        }
    }
    region.closeBand(band, bandTop, r.bottom() + 1);
    return region;
}

void PaintedRegion::closeBand(const std::vector<Run>& runs, int top, int bottom)
{
    assert(bottom > top || runs.empty());
    for (const Run& run : runs)
        m_rectangles.push_back({ run.x, int16_t(top), run.width, uint16_t(bottom - top) });
}

bool PaintedRegion::operator==(const PaintedRegion& other) const { return m_rectangles == other.m_rectangles; }

}
