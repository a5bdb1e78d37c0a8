// The overlay's drawing interface on a QPainter: whole-pixel fills and batched glyph runs.
#include "QPainterCanvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <memory>
#include <vector>

namespace tavelin::qt {

namespace {

// Qt's raster engine hands a blend of more than about a hundred spans to its thread pool; on a
// small machine waking the pool costs far more than the blend. Tall fills go in short slices.
constexpr int rowsPerFill = 64;

// Coordinates this close to a pixel edge are on it (sums like 26 + c·cw carry rounding noise).
constexpr double edgeTolerance = 1.0 / 1024;

QColor toQColor(const Color& c, double alphaFactor = 1)
{
    auto unit = [](double v) { return std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0); };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)),
        float(unit(c.alpha * alphaFactor)));
}

// The font behind every text: the desktop's fixed-pitch font, DejaVu Sans Mono where it has none.
QFont baseFont(FontWeight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontDatabase::isFixedPitch(font.family()))
        font.setFamily(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(weight == FontWeight::bold ? QFont::Bold
            : weight == FontWeight::semibold  ? QFont::DemiBold
                                              : QFont::Normal);
    return font;
}

// Index of a character the fast text path knows (A–Z, 0–9), or -1.
int fastSlot(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= '0' && c <= '9')
        return 26 + (c - '0');
    return -1;
}

bool isFastText(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return fastSlot(c) >= 0; });
}

}

// The 36 glyphs of capital letters and digits of one weight at one pixel size, looked up once.
class MonoFace {
public:
    static const MonoFace* get(FontWeight weight, double pixelSize);

    const QRawFont& rawFont() const { return m_raw; }
    quint32 glyph(int slot) const { return m_glyphs[size_t(slot)]; }
    double advance(int slot) const { return m_advances[size_t(slot)]; }
    double ascent() const { return m_raw.ascent(); }
    double height() const { return m_raw.ascent() + m_raw.descent(); }
    bool isUsable() const { return m_usable; }

    double width(std::string_view text) const
    {
        double w = 0;
        for (char c : text)
            w += advance(fastSlot(c));
        return w;
    }

private:
    MonoFace(FontWeight weight, double pixelSize);

    FontWeight m_weight;
    double m_pixelSize;
    QRawFont m_raw;
    std::array<quint32, 36> m_glyphs {};
    std::array<double, 36> m_advances {};
    bool m_usable = false;
};

MonoFace::MonoFace(FontWeight weight, double pixelSize)
    : m_weight(weight)
    , m_pixelSize(pixelSize)
    , m_raw(QRawFont::fromFont(baseFont(weight)))
{
    if (!m_raw.isValid())
        return;
    m_raw.setPixelSize(pixelSize);
    static const QString characters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    auto glyphs = m_raw.glyphIndexesForString(characters);
    auto advances = m_raw.advancesForGlyphIndexes(glyphs);
    if (glyphs.size() != 36 || advances.size() != 36)
        return;
    m_usable = true;
    for (size_t i = 0; i < 36; ++i) {
        m_glyphs[i] = glyphs[qsizetype(i)];
        m_advances[i] = advances[qsizetype(i)].x();
        m_usable = m_usable && m_glyphs[i] != 0;
    }
}

// Sizes change with every step of a resize drag: the cache forgets everything past a handful.
const MonoFace* MonoFace::get(FontWeight weight, double pixelSize)
{
    static std::vector<std::unique_ptr<MonoFace>> faces;
    for (auto& face : faces) {
        if (face->m_weight == weight && face->m_pixelSize == pixelSize)
            return face->isUsable() ? face.get() : nullptr;
    }
    if (faces.size() >= 24)
        faces.clear();
    faces.push_back(std::unique_ptr<MonoFace>(new MonoFace(weight, pixelSize)));
    return faces.back()->isUsable() ? faces.back().get() : nullptr;
}

// Puts the painter back in the caller's coordinates (points) for QPainter's own drawing.
class QPainterCanvas::LogicalScope {
public:
    explicit LogicalScope(QPainterCanvas& canvas)
        : m_canvas(canvas)
    {
        m_canvas.flush();
        m_canvas.m_painter.save();
        m_canvas.m_painter.setWorldTransform(m_canvas.m_logicalWorld);
        m_canvas.m_painter.setRenderHint(QPainter::Antialiasing, true);
    }
    ~LogicalScope() { m_canvas.m_painter.restore(); }
    LogicalScope(const LogicalScope&) = delete;
    LogicalScope& operator=(const LogicalScope&) = delete;

private:
    QPainterCanvas& m_canvas;
};

QPainterCanvas::QPainterCanvas(QPainter& painter)
    : m_painter(painter)
{
    assert(m_painter.isActive());
    m_painter.save();
    m_logicalWorld = m_painter.worldTransform();
    m_toDevice = m_painter.deviceTransform();
    // deviceTransform = world · D, where D is what the device adds (its pixel ratio).
    QTransform deviceOnly = m_logicalWorld.inverted() * m_toDevice;
    m_deviceWorld = deviceOnly.inverted();
    m_scale = m_toDevice.m22();
    // Glyphs are shaped at one size: the two scales may differ by a rounded pixel, no more.
    m_axisAligned = m_toDevice.type() <= QTransform::TxScale && m_scale > 0 && m_toDevice.m11() > 0
        && std::abs(m_toDevice.m11() / m_scale - 1) < 0.01;
    if (m_axisAligned)
        m_painter.setWorldTransform(m_deviceWorld);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::NoBrush);
    m_run.glyphs.reserve(4096);
    m_run.positions.reserve(4096);
}

QPainterCanvas::~QPainterCanvas()
{
    flush();
    m_painter.restore();
}

QFont QPainterCanvas::monospacedFont(const Font& font, const QPainter& painter)
{
    QFont f = baseFont(font.weight);
    // Qt turns points into pixels with the device's logical dots per inch: undo it so the size
    // in our points (logical pixels) is kept exactly, fractions included.
    int dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    f.setPointSizeF(std::max(font.size, 0.1) * 72.0 / (dpi > 0 ? dpi : 96));
    return f;
}

void QPainterCanvas::fillRect(const Rect& rect, const Color& color)
{
    if (!m_axisAligned) {
        LogicalScope scope(*this);
        m_painter.fillRect(QRectF(rect.x, rect.y, rect.width, rect.height), toQColor(color));
        return;
    }
    flush();
    auto device = m_toDevice.mapRect(QRectF(rect.x, rect.y, rect.width, rect.height).normalized());
    fillDeviceRect(device, toQColor(color).rgba(), 1);
}

void QPainterCanvas::fillRoundedRect(const Rect& rect, double radius, const Color& color)
{
    LogicalScope scope(*this);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(toQColor(color));
    m_painter.drawRoundedRect(QRectF(rect.x, rect.y, rect.width, rect.height), radius, radius);
}

// A straight segment stroked with butt ends: an axis-aligned one covers exactly the rectangle
// lineWidth across centred on it, so it is filled as that rectangle.
void QPainterCanvas::strokeLine(Point a, Point b, const Color& color, double lineWidth)
{
    bool vertical = a.x == b.x;
    bool horizontal = a.y == b.y;
    if (m_axisAligned && (vertical || horizontal)) {
        flush();
        if (a == b)
            return;
        double half = lineWidth / 2;
        QRectF band = vertical ? QRectF(a.x - half, std::min(a.y, b.y), lineWidth, std::abs(b.y - a.y))
                               : QRectF(std::min(a.x, b.x), a.y - half, std::abs(b.x - a.x), lineWidth);
        fillDeviceRect(m_toDevice.mapRect(band), toQColor(color).rgba(), 1);
        return;
    }
    LogicalScope scope(*this);
    m_painter.setPen(QPen(toQColor(color), lineWidth, Qt::SolidLine, Qt::FlatCap));
    m_painter.drawLine(QPointF(a.x, a.y), QPointF(b.x, b.y));
}

// Splits the rectangle into up to 3 × 3 whole-pixel pieces: the inner block at full alpha and
// the edge rows and columns at the fraction of each pixel the rectangle covers.
void QPainterCanvas::fillDeviceRect(const QRectF& r, QRgb colorRgba, double alpha)
{
    struct Span {
        int start;
        int length;
        double coverage;
    };
    auto spans = [](double from, double to, std::array<Span, 3>& out) {
        auto snap = [](double v) {
            double nearest = std::round(v);
            return std::abs(v - nearest) < edgeTolerance ? nearest : v;
        };
        // Beyond any device: QPainter clips, the clamp keeps the integers sane.
        constexpr double limit = 1 << 24;
        from = std::clamp(snap(from), -limit, limit);
        to = std::clamp(snap(to), -limit, limit);
        int count = 0;
        int first = int(std::floor(from));
        int last = int(std::ceil(to)) - 1; // the last pixel touched
        if (to <= from)
            return count;
        if (first == last) {
            out[size_t(count++)] = { first, 1, to - from };
            return count;
        }
        out[size_t(count++)] = { first, 1, first + 1 - from };
        if (last - first > 1)
            out[size_t(count++)] = { first + 1, last - first - 1, 1 };
        out[size_t(count++)] = { last, 1, to - last };
        return count;
    };
    std::array<Span, 3> xs {};
    std::array<Span, 3> ys {};
    int nx = spans(r.left(), r.right(), xs);
    int ny = spans(r.top(), r.bottom(), ys);
    QColor base = QColor::fromRgba(colorRgba);
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            double coverage = xs[size_t(i)].coverage * ys[size_t(j)].coverage * alpha;
            if (coverage <= 0)
                continue;
            QColor c = base;
            c.setAlphaF(float(base.alphaF() * coverage));
            if (c.alpha() == 0)
                continue;
            fillWholePixels(xs[size_t(i)].start, ys[size_t(j)].start, xs[size_t(i)].length, ys[size_t(j)].length, c);
        }
    }
}

void QPainterCanvas::fillWholePixels(int x, int y, int width, int height, const QColor& color)
{
    assert(width > 0 && height > 0);
    // Only what the device can show: tall slices of an off-screen rectangle cost time for nothing.
    auto* device = m_painter.paintEngine() ? m_painter.paintEngine()->paintDevice() : m_painter.device();
    if (device) {
        int ratio = int(std::ceil(std::max(1.0, device->devicePixelRatioF())));
        QRect visible = QRect(x, y, width, height).intersected(QRect(0, 0, device->width() * ratio, device->height() * ratio));
        if (visible.isEmpty())
            return;
        x = visible.x();
        y = visible.y();
        width = visible.width();
        height = visible.height();
    }
    for (int top = y; top < y + height; top += rowsPerFill)
        m_painter.fillRect(QRect(x, top, width, std::min(rowsPerFill, y + height - top)), color);
}

void QPainterCanvas::drawText(std::string_view text, Point centre, const Font& font, const Color& color)
{
    if (text.empty())
        return;
    if (!appendFastText(text, centre, font, color))
        drawTextWithQPainter(text, centre, font, color);
}

// Glyphs go on whole device pixels (the bounds' centre moves by at most half a pixel), so each
// glyph is rasterized once per face and every later copy is a plain blit.
bool QPainterCanvas::appendFastText(std::string_view text, Point centre, const Font& font, const Color& color)
{
    if (!m_axisAligned || !isFastText(text))
        return false;
    const MonoFace* face = MonoFace::get(font.weight, font.size * m_scale);
    if (!face)
        return false;
    QRgb rgba = toQColor(color).rgba();
    if (m_run.face != face || m_run.color != rgba) {
        flush();
        m_run.face = face;
        m_run.color = rgba;
    }
    QPointF c = m_toDevice.map(QPointF(centre.x, centre.y));
    double x = std::round(c.x() - face->width(text) / 2);
    double baseline = std::round(c.y() - face->height() / 2 + face->ascent());
    for (char ch : text) {
        int slot = fastSlot(ch);
        m_run.glyphs.append(face->glyph(slot));
        m_run.positions.append(QPointF(x, baseline));
        x += face->advance(slot);
    }
    return true;
}

void QPainterCanvas::drawTextWithQPainter(std::string_view text, Point centre, const Font& font, const Color& color)
{
    LogicalScope scope(*this);
    QFont qfont = monospacedFont(font, m_painter);
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    QFontMetricsF metrics(qfont, m_painter.device());
    double width = metrics.horizontalAdvance(string);
    double height = metrics.ascent() + metrics.descent();
    m_painter.setFont(qfont);
    m_painter.setPen(toQColor(color));
    m_painter.drawText(QPointF(centre.x - width / 2, centre.y - height / 2 + metrics.ascent()), string);
}

Size QPainterCanvas::measureText(std::string_view text, const Font& font)
{
    if (m_axisAligned && isFastText(text)) {
        if (const MonoFace* face = MonoFace::get(font.weight, font.size * m_scale))
            return { face->width(text) / m_scale, face->height() / m_scale };
    }
    QFont qfont = monospacedFont(font, m_painter);
    QFontMetricsF metrics(qfont, m_painter.device());
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return { metrics.horizontalAdvance(string), metrics.ascent() + metrics.descent() };
}

void QPainterCanvas::flush()
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
