// The monospaced font the overlay writes in, and its capital letters and digits prepared once per size.
#pragma once

#include "core/Canvas.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRawFont>
#include <QRgb>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace tavelin::shared::paint {

// The desktop's fixed-pitch font (DejaVu Sans Mono where it names none) at a weight, size unset.
QFont monospacedBaseFont(core::FontWeight weight);

// Index of a character the prepared glyphs cover (A–Z, then 0–9), or -1.
int preparedSlot(char c);
// True when every character of a non-empty text has a prepared glyph.
bool isPreparedText(std::string_view text);

// One glyph drawn once in one colour: premultiplied ARGB pixels and where their top-left corner
// lies from the pen position on the baseline.
struct GlyphSprite {
    QImage pixels;
    QPoint offset;
};
using GlyphSprites = std::array<GlyphSprite, 36>;

// The 36 prepared glyphs of one weight at one pixel size: indexes, advances and, per colour,
// sprites rasterized by Qt exactly as a glyph run at a whole-pixel position would draw them.
class MonoFace {
public:
    // Shared: a caller may keep a face while the cache drops it.
    static std::shared_ptr<const MonoFace> get(core::FontWeight weight, double pixelSize);

    const QRawFont& rawFont() const { return m_raw; }
    quint32 glyph(int slot) const { return m_glyphs[size_t(slot)]; }
    double advance(int slot) const { return m_advances[size_t(slot)]; }
    double ascent() const { return m_raw.ascent(); }
    // The height of a line's bounds: ascent plus descent.
    double height() const { return m_raw.ascent() + m_raw.descent(); }
    double width(std::string_view preparedText) const;

    std::shared_ptr<const GlyphSprites> sprites(QRgb color) const;

private:
    MonoFace(core::FontWeight weight, double pixelSize);
    bool isUsable() const { return m_usable; }
    GlyphSprite rasterize(int slot, QRgb color) const;

    core::FontWeight m_weight;
    double m_pixelSize;
    QRawFont m_raw;
    std::array<quint32, 36> m_glyphs {};
    std::array<double, 36> m_advances {};
    bool m_usable = false;

    struct ColoredSprites {
        QRgb color;
        std::shared_ptr<const GlyphSprites> sprites;
    };
    mutable std::vector<ColoredSprites> m_sprites;
};

}
