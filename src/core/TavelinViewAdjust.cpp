// Adjust mode inside the view: the badge and the resize drag.
#include "core/TavelinView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tavelin::core {

namespace {
long long truncatedSize(double value)
{
    constexpr double limit = 1e15;
    if (!std::isfinite(value))
        return 0;
    return static_cast<long long>(std::trunc(std::clamp(value, -limit, limit)));
}

constexpr double badgeLineSpacing = 4;
constexpr double badgePadding = 8;
constexpr double badgeCornerRadius = 6;
}

std::string TavelinView::badgeSizeLine(double cellWidth, double cellHeight)
{
    char text[96];
    std::snprintf(text, sizeof text, "Cell: %lld\u00D7%lld", truncatedSize(cellWidth), truncatedSize(cellHeight));
    return text;
}

void TavelinView::drawAdjustModeIndicator(Canvas& canvas, Size size) const
{
    struct Line {
        std::string text;
        Font font;
        Size measured;
    };
    std::array<Line, 3> lines { {
        { "ADJUST MODE", { 12, FontWeight::bold }, {} },
        { "Drag to resize \u2022 \u2318\u21E7A to exit", { 10, FontWeight::regular }, {} },
        { badgeSizeLine(m_state.cellWidth(), m_state.cellHeight()), { 10, FontWeight::regular }, {} },
    } };
    double stackWidth = 0;
    double stackHeight = badgeLineSpacing * double(lines.size() - 1);
    for (auto& line : lines) {
        line.measured = canvas.measureText(line.text, line.font);
        stackWidth = std::max(stackWidth, line.measured.width);
        stackHeight += line.measured.height;
    }
    Rect badge { (size.width - stackWidth) / 2 - badgePadding, badgeTopInset, stackWidth + 2 * badgePadding,
        stackHeight + 2 * badgePadding };
    canvas.fillRoundedRect(badge, badgeCornerRadius, named::black.opacity(0.6));
    auto textColor = named::red.opacity(0.8);
    double y = badge.y + badgePadding;
    for (auto& line : lines) {
        canvas.drawText(line.text, { size.width / 2, y + line.measured.height / 2 }, line.font, textColor);
        y += line.measured.height + badgeLineSpacing;
    }
}

void TavelinView::mousePressed(Point p) { m_drag = Drag { p, false }; }

void TavelinView::mouseMoved(Point p)
{
    if (!m_drag)
        return;
    Size translation { p.x - m_drag->start.x, p.y - m_drag->start.y };
    if (!m_drag->started) {
        if (std::hypot(translation.width, translation.height) < minimumDragDistance)
            return;
        m_drag->started = true;
    }
    resizeStep(translation);
}

// Ending a drag leaves the size where the last move put it.
void TavelinView::mouseReleased(Point) { m_drag.reset(); }

void TavelinView::resizeStep(Size translation)
{
    if (!m_state.isAdjusting())
        return;
    double w = m_state.cellWidth();
    double h = m_state.cellHeight();
    auto step = [](double size, double delta) {
        return std::max(std::min(size + delta * resizeGain, GridState::maxCellSize), GridState::minCellSize);
    };
    m_state.setCellWidth(step(w, translation.width));
    m_state.setCellHeight(step(h, translation.height));
}

}
