// The overlay's drawing interface on a QPainter: whole-pixel fills and strokes, and the flush of what waits.
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

}

QColor QPainterCanvas::toQColor(const core::Color& c)
{
    auto unit = [](double v) { return std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0); };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)), float(unit(c.alpha)));
}

namespace {

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

QPainterCanvas::LogicalScope::LogicalScope(QPainterCanvas& canvas)
    : m_painter(canvas.m_painter)
{
    canvas.flush();
    m_painter.save();
    m_painter.setWorldTransform(canvas.m_logicalWorld);
    m_painter.setRenderHint(QPainter::Antialiasing, true);
}

QPainterCanvas::LogicalScope::~LogicalScope() { m_painter.restore(); }

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
