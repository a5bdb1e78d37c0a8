// The overlay's texts on a QPainter: prepared glyphs blended as sprites, the cell names as one grid.
#include "shared/paint/QPainterCanvas.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <climits>

namespace tavelin::shared::paint {

// Every cell name of a frame has the same font: the face is looked up when the font changes.
const std::shared_ptr<const MonoFace>& QPainterCanvas::faceFor(const core::Font& font)
{
    if (!m_face.face || !(m_face.font == font))
        m_face = { font, MonoFace::get(font.weight, font.size * m_scale) };
    return m_face.face;
}

const GlyphSprites& QPainterCanvas::useSprites(const MonoFace& face, QRgb color)
{
    if (m_sprites.face != &face || m_sprites.color != color || !m_sprites.sprites) {
        m_sprites = { &face, color, face.sprites(color) };
        // The target reads the sprites' pixels when it is flushed.
        m_keptSprites.push_back(m_sprites.sprites);
        ++m_runMemoGeneration;
    }
    return *m_sprites.sprites;
}

void QPainterCanvas::drawText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color)
{
    if (text.empty())
        return;
    if (!drawPreparedText(text, centre, font, color))
        drawTextWithQPainter(text, centre, font, color);
}

// The text's bounds (advances by ascent plus descent) are centred on the point, then the pen
// goes to the nearest whole pixel (the text moves by at most half a pixel), so every glyph is
// rasterized once per size and colour and each later copy is a plain blend.
bool QPainterCanvas::drawPreparedText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color)
{
    if (!m_axisAligned)
        return false;
    const auto& face = faceFor(font);
    if (!face)
        return false;
    // One pass: every character prepared, and the text's advance.
    double width = 0;
    for (char ch : text) {
        int slot = preparedSlot(ch);
        if (slot < 0)
            return false;
        width += face->advance(slot);
    }
    // The painter only scales and moves: the point maps as QTransform::map maps it.
    double cx = m_toDevice.m11() * centre.x + m_toDevice.dx();
    double cy = m_toDevice.m22() * centre.y + m_toDevice.dy();
    QPoint pen(nearestPixel(cx - width / 2), nearestPixel(cy - face->height() / 2 + face->ascent()));
    QRgb rgba = textRgba(color);
    if (m_target)
        blendSprites(text, pen, *face, rgba);
    else
        appendToRun(text, pen, face, rgba);
    return true;
}

// Every label of a frame has the same colour: convert it once.
QRgb QPainterCanvas::textRgba(const core::Color& color)
{
    if (!m_lastTextColor || !(*m_lastTextColor == color)) {
        m_lastTextColor = color;
        m_lastTextRgba = toQColor(color).rgba();
    }
    return m_lastTextRgba;
}

// The face's run for a part of a text, remembered by this canvas: along a row of a grid the
// row number repeats (the last one asked for), down a column the letters (a few hundred slots).
const GlyphSprite* QPainterCanvas::memoRun(const MonoFace& face, const GlyphSprites& sprites, std::string_view part,
    double before)
{
    RunKey key;
    if (part.size() > sizeof key.text)
        return nullptr;
    // Packed as bytes in memory order; a loop here beats a call to memcpy of a few bytes.
    for (size_t i = 0; i < part.size(); ++i)
        key.text[i / 8] |= uint64_t(uint8_t(part[i])) << (8 * (i % 8));
    key.before = before;
    if (m_lastRun.generation == m_runMemoGeneration && m_lastRun.key == key)
        return m_lastRun.run;
    uint64_t mixed = (key.text[0] ^ (key.text[1] * 0x9e3779b97f4a7c15ULL)) + uint64_t(before * 64) * 0xc2b2ae3d27d4eb4fULL;
    auto& slot = m_runMemo[size_t((mixed * 0x9e3779b97f4a7c15ULL) >> (64 - runMemoBits))];
    if (slot.generation != m_runMemoGeneration || !(slot.key == key))
        slot = { key, face.run(sprites, part, before), m_runMemoGeneration };
    // Only the later part of a text (the number of a cell name) is kept as the last one.
    if (before > 0)
        m_lastRun = slot;
    return slot.run;
}

// Column names and row numbers recur all over a grid: each run of letters or of digits is blended
// as one sprite made once, where the face can make it, else glyph by glyph.
void QPainterCanvas::blendSprites(std::string_view text, QPoint pen, const MonoFace& face, QRgb color)
{
    const GlyphSprites& sprites = useSprites(face, color);
    // Advanced as the glyphs are, in the same order, so each lands where it always has.
    double x = pen.x();
    double before = 0;
    for (size_t start = 0; start < text.size();) {
        bool digits = text[start] >= '0' && text[start] <= '9';
        size_t end = start + 1;
        while (end < text.size() && (text[end] >= '0' && text[end] <= '9') == digits)
            ++end;
        std::string_view part = text.substr(start, end - start);
        // The text is prepared: every character of the part is a letter, or every one a digit.
        auto slotOf = [digits](char ch) { return digits ? 26 + (ch - '0') : ch - 'A'; };
        if (const GlyphSprite* run = memoRun(face, sprites, part, before)) {
            m_target->blend(run->view, pen + run->offset);
            for (char ch : part) {
                x += face.advance(slotOf(ch));
                before += face.advance(slotOf(ch));
            }
        } else {
            for (char ch : part) {
                int slot = slotOf(ch);
                const GlyphSprite& sprite = sprites.glyphs[size_t(slot)];
                m_target->blend(sprite.view, QPoint(nearestPixel(x), pen.y()) + sprite.offset);
                x += face.advance(slot);
                before += face.advance(slot);
            }
        }
        start = end;
    }
}

void QPainterCanvas::appendToRun(std::string_view text, QPoint pen, const std::shared_ptr<const MonoFace>& face,
    QRgb color)
{
    if (m_run.face != face || m_run.color != color) {
        flushRun();
        m_run.face = face;
        m_run.color = color;
    }
    double x = pen.x();
    for (char ch : text) {
        int slot = preparedSlot(ch);
        m_run.glyphs.append(face->glyph(slot));
        m_run.positions.append(QPointF(std::round(x), pen.y()));
        x += face->advance(slot);
    }
}

void QPainterCanvas::drawTextWithQPainter(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color)
{
    LogicalScope scope(*this);
    QFont qfont = qtFont(font, m_painter);
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    QFontMetricsF metrics(qfont, m_painter.device());
    double width = metrics.horizontalAdvance(string);
    double height = metrics.ascent() + metrics.descent();
    m_painter.setFont(qfont);
    m_painter.setPen(toQColor(color));
    m_painter.drawText(QPointF(centre.x - width / 2, centre.y - height / 2 + metrics.ascent()), string);
}

core::Size QPainterCanvas::measureText(std::string_view text, const core::Font& font)
{
    if (m_axisAligned && isPreparedText(text)) {
        if (auto face = MonoFace::get(font.weight, font.size * m_scale))
            return { face->width(text) / m_scale, face->height() / m_scale };
    }
    QFont qfont = qtFont(font, m_painter);
    QFontMetricsF metrics(qfont, m_painter.device());
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return { metrics.horizontalAdvance(string), metrics.ascent() + metrics.descent() };
}

void QPainterCanvas::drawTextGrid(const core::TextGrid& grid)
{
    if (!drawPreparedGrid(grid))
        Canvas::drawTextGrid(grid);
}

// Straight into the pixels, a grid of letters-then-digits names is laid out once per column and
// once per row, not once per name, and the target's threads blend it. Each name lands as
// drawPreparedText would put it: with advances in whole 64ths of a pixel every sum is exact, so
// the name's width is its head's plus its tail's, and a glyph at the nearest pixel to pen plus
// its advance is at pen plus the nearest pixel to the advance.
bool QPainterCanvas::drawPreparedGrid(const core::TextGrid& grid)
{
    if (!m_axisAligned || !m_target)
        return false;
    const size_t columns = std::min(grid.columnTexts.size(), grid.xs.size());
    const size_t rows = std::min(grid.rowTexts.size(), grid.ys.size());
    if (columns == 0 || rows == 0)
        return true;
    auto within = [](const std::string& text, char from, char to) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [=](char c) { return c >= from && c <= to; });
    };
    for (size_t c = 0; c < columns; ++c) {
        if (!within(grid.columnTexts[c], 'A', 'Z'))
            return false;
    }
    for (size_t r = 0; r < rows; ++r) {
        if (!within(grid.rowTexts[r], '0', '9'))
            return false;
    }
    const auto& face = faceFor(grid.font);
    if (!face || !face->hasExactAdvances())
        return false;
    const GlyphSprites& sprites = useSprites(*face, textRgba(grid.color));

    SpriteGrid out;
    int lowest = INT_MAX, highest = INT_MIN; // offsets from the baseline of the pieces' top and bottom rows
    auto addPart = [&](std::string_view text, double before) {
        SpriteGrid::Part part { uint32_t(out.pieces.size()), 0 };
        auto add = [&](const GlyphSprite& sprite, QPoint offset) {
            if (!sprite.view.bits)
                return;
            out.pieces.push_back({ sprite.view, offset });
            lowest = std::min(lowest, offset.y());
            highest = std::max(highest, offset.y() + sprite.view.height - 1);
        };
        if (const GlyphSprite* run = face->run(sprites, text, before)) {
            add(*run, run->offset);
        } else {
            double x = before;
            for (char ch : text) {
                int slot = preparedSlot(ch);
                add(sprites.glyphs[size_t(slot)], QPoint(nearestPixel(x), 0) + sprites.glyphs[size_t(slot)].offset);
                x += face->advance(slot);
            }
        }
        part.count = uint32_t(out.pieces.size()) - part.first;
        return part;
    };

    // The places a column's letters can end: where its row number starts.
    std::vector<double> befores;
    out.columns.reserve(columns);
    for (size_t c = 0; c < columns; ++c) {
        const std::string& text = grid.columnTexts[c];
        double width = face->width(text);
        auto found = std::find(befores.begin(), befores.end(), width);
        if (found == befores.end())
            found = befores.insert(befores.end(), width);
        out.columns.push_back({ m_toDevice.m11() * grid.xs[c] + m_toDevice.dx(), width, addPart(text, 0),
            uint32_t(found - befores.begin()) });
    }
    const int headLowest = lowest, headHighest = highest;
    out.tailClasses = uint32_t(befores.size());
    out.rows.reserve(rows);
    out.tails.reserve(rows * befores.size());
    for (size_t r = 0; r < rows; ++r) {
        lowest = headLowest;
        highest = headHighest;
        for (double before : befores)
            out.tails.push_back(addPart(grid.rowTexts[r], before));
        double cy = m_toDevice.m22() * grid.ys[r] + m_toDevice.dy();
        int penY = nearestPixel(cy - face->height() / 2 + face->ascent());
        // No piece at all (glyphs that paint nothing): a row that touches no pixel.
        int top = lowest <= highest ? penY + lowest : 1, bottom = lowest <= highest ? penY + highest : 0;
        out.rows.push_back({ penY, out.widthClass(face->width(grid.rowTexts[r])), top, bottom });
    }
    m_target->blend(std::move(out));
    return true;
}

}
