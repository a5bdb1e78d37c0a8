// The monospaced font the overlay writes in, and its capital letters and digits prepared once per size.
#pragma once

#include "core/Canvas.h"
#include "shared/paint/PixelTarget.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRawFont>
#include <QRgb>

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavelin::shared::paint {

// The desktop's fixed-pitch font (DejaVu Sans Mono where it names none) at a weight, size unset.
QFont monospacedBaseFont(core::FontWeight weight);

// Index of a character the prepared glyphs cover (A–Z, then 0–9), or -1.
inline int preparedSlot(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= '0' && c <= '9')
        return 26 + (c - '0');
    return -1;
}
// True when every character of a non-empty text has a prepared glyph.
bool isPreparedText(std::string_view text);

// One glyph (or a run of them) drawn once in one colour: premultiplied ARGB pixels, padded with
// transparent ones to a width of whole groups of four for the painter's wide blends, and where
// their top-left corner lies from the pen position on the baseline.
struct GlyphSprite {
    QImage pixels;
    QPoint offset;
    SpritePixels view = SpritePixels::of(pixels);
};

// A run of up to 16 characters and the advance before it, packed for a quick look-up.
struct RunKey {
    std::array<uint64_t, 2> text {};
    double before = 0;
    // Word by word: the defaulted comparison goes through memcmp, a call per look-up.
    friend bool operator==(const RunKey& a, const RunKey& b)
    {
        return a.text[0] == b.text[0] && a.text[1] == b.text[1] && a.before == b.before;
    }
};
struct RunKeyHash {
    size_t operator()(const RunKey& k) const;
};

// The prepared glyphs in one colour, and the runs of them labels have asked for so far.
struct GlyphSprites {
    std::array<GlyphSprite, 36> glyphs;
    // None where two of the run's glyphs share a pixel.
    mutable std::unordered_map<RunKey, std::optional<GlyphSprite>, RunKeyHash> runs;
    mutable qsizetype runBytes = 0;
    // The map's entries last found, by a few bits of their hash: a frame asks for the same few
    // thousand runs tens of thousands of times, and a probe here skips the map's bucket walk.
    // Entries of the map stay put, so the pointers stay good.
    struct RecentRun {
        RunKey key;
        const std::optional<GlyphSprite>* entry = nullptr;
    };
    static constexpr size_t recentRunSlots = 1024;
    mutable std::array<RecentRun, recentRunSlots> recentRuns {};
};

// The 36 prepared glyphs of one weight at one pixel size: indexes, advances and, per colour,
// sprites rasterized by Qt exactly as a glyph run at a whole-pixel position would draw them.
class MonoFace {
public:
    // Shared: a caller may keep a face while the cache drops it.
    static std::shared_ptr<const MonoFace> get(core::FontWeight weight, double pixelSize);

    const QRawFont& rawFont() const { return m_raw; }
    quint32 glyph(int slot) const { return m_glyphs[size_t(slot)]; }
    double advance(int slot) const { return m_advances[size_t(slot)]; }
    double ascent() const { return m_ascent; }
    // The height of a line's bounds: ascent plus descent.
    double height() const { return m_height; }
    double width(std::string_view preparedText) const;
    // Every advance a whole number of 64ths of a pixel: sums of them are exact.
    bool hasExactAdvances() const { return m_exactAdvances; }

    std::shared_ptr<const GlyphSprites> sprites(QRgb color) const;

    // A run of prepared characters that a label draws after `before` pixels of advance, as one
    // sprite whose offset is from the label's pen: the same pixels as its glyphs blended one by
    // one where no two of them paint the same pixel, the case it is made for. None when that
    // does not hold, or when placing it whole could round a glyph differently (advances that are
    // not whole 64ths of a pixel), or when the colour's runs already hold their share of memory.
    const GlyphSprite* run(const GlyphSprites& sprites, std::string_view text, double before) const;

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
    bool m_exactAdvances = false;
    double m_ascent = 0;
    double m_height = 0;

    struct ColoredSprites {
        QRgb color;
        std::shared_ptr<const GlyphSprites> sprites;
    };
    mutable std::vector<ColoredSprites> m_sprites;
};

}
