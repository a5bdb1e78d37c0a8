// The overlay's drawing interface on a QPainter: whole-pixel fills and prepared glyphs.
#include "shared/paint/QPainterCanvas.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace tavelin::shared::paint {

namespace {

// Qt's raster engine hands a blend of more than about a hundred pixel rows to its thread pool;
// on a small machine waking the pool costs far more than the blend. Tall fills go in slices.
constexpr int rowsPerFill = 64;

// Coordinates this close to a pixel edge are on it (sums like 26 + c·cw carry rounding noise).
constexpr double edgeTolerance = 1.0 / 1024;

QColor toQColor(const core::Color& c)
{
    auto unit = [](double v) { return std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0); };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)), float(unit(c.alpha)));
}

int nearestPixel(double v)
{
    constexpr double limit = 1 << 24;
    return int(std::floor(std::clamp(v, -limit, limit) + 0.5));
}

// The pixels an interval [from, to) touches along one axis: a partly covered first pixel, a run
// of whole ones, a partly covered last pixel; each with the fraction of it that is covered.
struct PixelSpan {
    int start;
    int length;
    double coverage;
};

int pixelSpans(double from, double to, std::array<PixelSpan, 3>& out)
{
    auto snap = [](double v) {
        double nearest = std::round(v);
        return std::abs(v - nearest) < edgeTolerance ? nearest : v;
    };
    // Far beyond any device; keeps the integers sane.
    constexpr double limit = 1 << 24;
    from = std::clamp(snap(from), -limit, limit);
    to = std::clamp(snap(to), -limit, limit);
    if (!(to > from))
        return 0;
    int first = int(std::floor(from));
    int last = int(std::ceil(to)) - 1;
    if (first == last) {
        out[0] = { first, 1, to - from };
        return 1;
    }
    int count = 0;
    // A whole edge pixel joins the run of whole ones: one piece where a rectangle is pixel-aligned.
    auto add = [&](int start, int length, double coverage) {
        if (count > 0 && out[size_t(count - 1)].coverage == coverage)
            out[size_t(count - 1)].length += length;
        else
            out[size_t(count++)] = { start, length, coverage };
    };
    add(first, 1, first + 1 - from);
    if (last - first > 1)
        add(first + 1, last - first - 1, 1);
    add(last, 1, to - last);
    return count;
}

}

// Puts the painter back in the caller's coordinates (points) for QPainter's own drawing.
class QPainterCanvas::LogicalScope {
public:
    explicit LogicalScope(QPainterCanvas& canvas)
        : m_painter(canvas.m_painter)
    {
        canvas.flush();
        m_painter.save();
        m_painter.setWorldTransform(canvas.m_logicalWorld);
        m_painter.setRenderHint(QPainter::Antialiasing, true);
    }
    ~LogicalScope() { m_painter.restore(); }
    LogicalScope(const LogicalScope&) = delete;
    LogicalScope& operator=(const LogicalScope&) = delete;

private:
    QPainter& m_painter;
};

QPainterCanvas::QPainterCanvas(QPainter& painter)
    : m_painter(painter)
{
    assert(m_painter.isActive());
    m_painter.save();
    m_logicalWorld = m_painter.worldTransform();
    m_toDevice = m_painter.deviceTransform();
    // deviceTransform = world · D, where D is what the device adds (its pixel ratio, redirection).
    QTransform deviceOnly = m_logicalWorld.inverted() * m_toDevice;
    m_deviceWorld = deviceOnly.inverted();
    m_scale = m_toDevice.m22();
    // Glyphs are prepared at one size: the two scales may differ by a rounded pixel, no more.
    m_axisAligned = m_toDevice.type() <= QTransform::TxScale && m_scale > 0 && m_toDevice.m11() > 0
        && std::abs(m_toDevice.m11() / m_scale - 1) < 0.01;
    if (m_axisAligned) {
        m_painter.setWorldTransform(m_deviceWorld);
        m_target = PixelTarget::of(m_painter);
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::NoBrush);
}

QPainterCanvas::~QPainterCanvas()
{
    flush();
    m_painter.restore();
}

QFont QPainterCanvas::qtFont(const core::Font& font, const QPainter& painter)
{
    QFont f = monospacedBaseFont(font.weight);
    // Qt turns points into pixels with the device's logical dots per inch: undo it so the size
    // in our points (logical pixels) is kept exactly, fractions included.
    int dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    f.setPointSizeF(std::max(font.size, 0.1) * 72.0 / (dpi > 0 ? dpi : 96));
    return f;
}

QRect QPainterCanvas::deviceBounds() const
{
    if (m_target)
        return m_target->area();
    auto* device = m_painter.paintEngine() ? m_painter.paintEngine()->paintDevice() : m_painter.device();
    if (!device)
        return {};
    int ratio = int(std::ceil(std::max(1.0, device->devicePixelRatioF())));
    return QRect(0, 0, device->width() * ratio, device->height() * ratio);
}

void QPainterCanvas::clear()
{
    flush();
    if (m_target) {
        m_target->clear();
        return;
    }
    m_painter.save();
    m_painter.setWorldTransform(m_deviceWorld);
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(deviceBounds(), Qt::transparent);
    m_painter.restore();
}

void QPainterCanvas::fillRect(const core::Rect& rect, const core::Color& color)
{
    QRectF logical = QRectF(rect.x, rect.y, rect.width, rect.height).normalized();
    if (!m_axisAligned) {
        LogicalScope scope(*this);
        m_painter.fillRect(logical, toQColor(color));
        return;
    }
    flushRun();
    fillDeviceRect(m_toDevice.mapRect(logical), toQColor(color));
}

void QPainterCanvas::fillRoundedRect(const core::Rect& rect, double radius, const core::Color& color)
{
    LogicalScope scope(*this);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(toQColor(color));
    m_painter.drawRoundedRect(QRectF(rect.x, rect.y, rect.width, rect.height), radius, radius);
}

// A straight segment stroked with butt ends: an axis-aligned one covers exactly the rectangle
// lineWidth across centred on it, so it is filled as that rectangle.
void QPainterCanvas::strokeLine(core::Point a, core::Point b, const core::Color& color, double lineWidth)
{
    bool vertical = a.x == b.x;
    bool horizontal = a.y == b.y;
    if (m_axisAligned && (vertical || horizontal)) {
        flushRun();
        if (a == b || !(lineWidth > 0))
            return;
        double half = lineWidth / 2;
        QRectF band = vertical ? QRectF(a.x - half, std::min(a.y, b.y), lineWidth, std::abs(b.y - a.y))
                               : QRectF(std::min(a.x, b.x), a.y - half, std::abs(b.x - a.x), lineWidth);
        fillDeviceRect(m_toDevice.mapRect(band), toQColor(color));
        return;
    }
    LogicalScope scope(*this);
    m_painter.setPen(QPen(toQColor(color), lineWidth, Qt::SolidLine, Qt::FlatCap));
    m_painter.drawLine(QPointF(a.x, a.y), QPointF(b.x, b.y));
}

// Up to 3 × 3 whole-pixel pieces: the inner block in the colour, the edge rows and columns with
// its alpha scaled by the part of each pixel the rectangle covers.
void QPainterCanvas::fillDeviceRect(const QRectF& r, const QColor& color)
{
    std::array<PixelSpan, 3> xs {};
    std::array<PixelSpan, 3> ys {};
    int nx = pixelSpans(r.left(), r.right(), xs);
    int ny = pixelSpans(r.top(), r.bottom(), ys);
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const auto& x = xs[size_t(i)];
            const auto& y = ys[size_t(j)];
            QColor piece = color;
            piece.setAlphaF(float(color.alphaF() * x.coverage * y.coverage));
            if (piece.alpha() > 0)
                fillWholePixels(QRect(x.start, y.start, x.length, y.length), piece);
        }
    }
}

void QPainterCanvas::fillWholePixels(const QRect& rect, const QColor& color)
{
    if (m_target) {
        m_target->fill(rect, qPremultiply(color.rgba()));
        return;
    }
    // Only what the device can show: slices of an off-screen rectangle cost time for nothing.
    QRect visible = rect & deviceBounds();
    for (int top = visible.top(); top <= visible.bottom(); top += rowsPerFill) {
        int rows = std::min(rowsPerFill, visible.bottom() + 1 - top);
        m_painter.fillRect(QRect(visible.left(), top, visible.width(), rows), color);
    }
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
    // Every cell name of a frame has the same font.
    if (!m_face.face || !(m_face.font == font))
        m_face = { font, MonoFace::get(font.weight, font.size * m_scale) };
    const auto& face = m_face.face;
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
    if (m_sprites.face != &face || m_sprites.color != color || !m_sprites.sprites) {
        m_sprites = { &face, color, face.sprites(color) };
        // The target reads the sprites' pixels when it is flushed.
        m_keptSprites.push_back(m_sprites.sprites);
        ++m_runMemoGeneration;
    }
    const GlyphSprites& sprites = *m_sprites.sprites;
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

void QPainterCanvas::flush()
{
    flushRun();
    if (m_target)
        m_target->flush();
    m_keptSprites.clear();
    m_sprites = {};
}

void QPainterCanvas::flushRun()
{
    if (m_run.glyphs.isEmpty())
        return;
    assert(m_run.face && m_run.glyphs.size() == m_run.positions.size());
    {
        // The run shares the lists; it must be gone before they are cleared, so they keep their capacity.
        QGlyphRun run;
        run.setRawFont(m_run.face->rawFont());
        run.setGlyphIndexes(m_run.glyphs);
        run.setPositions(m_run.positions);
        m_painter.setPen(QColor::fromRgba(m_run.color));
        m_painter.drawGlyphRun(QPointF(0, 0), run);
        m_painter.setPen(Qt::NoPen);
    }
    m_run.glyphs.clear();
    m_run.positions.clear();
}

}
