// The overlay's drawing for a window without translucency: opaque, whole-pixel strokes and texts.
#include "shared/paint/SolidCanvas.h"

#include <algorithm>
#include <cmath>

namespace tavelin::shared::paint {

namespace {

// Sums like 26 + c·cw carry rounding noise: this close to a pixel edge is on it.
constexpr double edgeTolerance = 1.0 / 1024;

core::Color opaque(core::Color color) { return { color.red, color.green, color.blue, 1 }; }

}

SolidCanvas::SolidCanvas(core::Canvas& target, double devicePixelsPerPoint)
    : m_target(target)
    , m_scale(devicePixelsPerPoint > 0 && std::isfinite(devicePixelsPerPoint) ? devicePixelsPerPoint : 1)
    , m_pixel(1 / m_scale)
{
}

// The nearest device pixel edge, in points.
double SolidCanvas::toPixel(double points) const { return std::round(points * m_scale) / m_scale; }

core::Rect SolidCanvas::snapped(const core::Rect& r) const
{
    double left = toPixel(std::min(r.x, r.x + r.width));
    double right = toPixel(std::max(r.x, r.x + r.width));
    double top = toPixel(std::min(r.y, r.y + r.height));
    double bottom = toPixel(std::max(r.y, r.y + r.height));
    return { left, top, right - left, bottom - top };
}

// An axis-aligned segment as whole device pixels: as many as the line is wide (at least one),
// centred on it; a line lying on a pixel edge takes the pixels left of or above it, so a line
// on the canvas's right or bottom edge stays inside.
core::Rect SolidCanvas::lineCover(core::Point a, core::Point b, double lineWidth) const
{
    double pixels = std::max(1.0, std::round(lineWidth * m_scale));
    auto across = [&](double centre) {
        double first = std::ceil(centre * m_scale - pixels / 2 - 0.5 - edgeTolerance);
        return first / m_scale;
    };
    double thickness = pixels / m_scale;
    if (a.x == b.x) {
        double top = toPixel(std::min(a.y, b.y));
        return { across(a.x), top, thickness, toPixel(std::max(a.y, b.y)) - top };
    }
    double left = toPixel(std::min(a.x, b.x));
    return { left, across(a.y), toPixel(std::max(a.x, b.x)) - left, thickness };
}

void SolidCanvas::fillRect(const core::Rect& rect, const core::Color& color)
{
    if (color.alpha < faintestFill)
        return;
    core::Rect r = snapped(rect);
    if (!(r.width > 0 && r.height > 0))
        return;
    m_target.fillRect(r, color);
    m_fills.push_back(r);
}

void SolidCanvas::fillRoundedRect(const core::Rect& rect, double radius, const core::Color& color)
{
    if (color.alpha < faintestFill)
        return;
    core::Rect r = snapped(rect);
    m_target.fillRoundedRect(r, radius, color);
    m_fills.push_back(r);
}

void SolidCanvas::strokeLine(core::Point a, core::Point b, const core::Color& color, double lineWidth)
{
    if (a == b || !(lineWidth > 0))
        return;
    if (a.x != b.x && a.y != b.y) {
        core::Point offset { m_pixel, m_pixel };
        m_target.strokeLine({ a.x + offset.x, a.y + offset.y }, { b.x + offset.x, b.y + offset.y }, shadow, lineWidth);
        m_target.strokeLine(a, b, opaque(color), lineWidth);
        return;
    }
    core::Rect cover = lineCover(a, b, lineWidth);
    if (!(cover.width > 0 && cover.height > 0))
        return;
    // The shadow lies beside the line, not along it: right of a vertical one, below a horizontal one.
    core::Rect shade = cover;
    (a.x == b.x ? shade.x : shade.y) += m_pixel;
    m_target.fillRect(shade, shadow);
    m_target.fillRect(cover, opaque(color));
}

void SolidCanvas::drawText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color)
{
    if (text.empty())
        return;
    if (!standsOnFill(centre)) {
        core::Size size = m_target.measureText(text, font);
        double margin = chipMargin * m_pixel;
        m_target.fillRect(snapped({ centre.x - size.width / 2 - margin, centre.y - size.height / 2 - margin,
                              size.width + 2 * margin, size.height + 2 * margin }),
            chip);
    }
    m_target.drawText(text, centre, font, opaque(color));
}

// Few fills are drawn (rulers, the badge): a plain walk is enough.
bool SolidCanvas::standsOnFill(core::Point p) const
{
    return std::any_of(m_fills.begin(), m_fills.end(), [p](const core::Rect& r) { return r.contains(p); });
}

core::Size SolidCanvas::measureText(std::string_view text, const core::Font& font) { return m_target.measureText(text, font); }

}
