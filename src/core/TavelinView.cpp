// The overlay view's drawing: tint, ruler bands and grid lines, with the headers interleaved.
#include "core/TavelinView.h"

#include "core/CellMap.h"

#include <algorithm>

namespace tavelin::core {

TavelinView::TavelinView(GridState& state)
    : m_state(state)
{
    // Only mark for redrawing: the new value is not stored yet while subscribers are told.
    m_subscription = m_state.subscribe([this] {
        if (m_needsDisplay)
            m_needsDisplay();
    });
}

TavelinView::~TavelinView() { m_state.unsubscribe(m_subscription); }

TavelinView::Colors TavelinView::colors() const
{
    if (m_state.isAdjusting()) {
        return { named::black.opacity(0.5), named::red.opacity(0.5), named::red.opacity(0.7),
            named::red.opacity(0.4) };
    }
    auto g = displayColor(m_state.gridColor());
    return { named::black.opacity(0.35), g.opacity(0.25), g.opacity(0.4), g.opacity(0.2) };
}

TavelinView::Layout TavelinView::layout(Size size) const
{
    Layout l;
    l.size = size;
    // The same layout cell names and places are worked out from.
    auto grid = GridLayout::of(size, m_state.cellWidth(), m_state.cellHeight(), m_state.targetMode().isFullScreen());
    l.topInset = grid.topInset;
    l.cellWidth = grid.cellWidth;
    l.cellHeight = grid.cellHeight;
    l.cols = grid.columns;
    l.rows = grid.rows;
    l.colors = colors();
    return l;
}

void TavelinView::draw(Canvas& canvas, Size size) const
{
    if (size.width <= 0 || size.height <= 0)
        return;
    if (m_state.isAdjusting())
        canvas.fillRect({ 0, 0, size.width, size.height }, named::black.opacity(0.05));
    auto l = layout(size);
    drawGrid(canvas, l);
    if (m_state.showCellLabels())
        drawCellLabels(canvas, l);
    if (m_state.isAdjusting())
        drawAdjustModeIndicator(canvas, size);
}

void TavelinView::drawGrid(Canvas& canvas, const Layout& l) const
{
    const double W = l.size.width;
    const double H = l.size.height;
    const double T = l.topInset;
    canvas.fillRect({ 0, T, W, topBandHeight }, l.colors.band);
    double leftBandHeight = H - T - topBandHeight;
    if (leftBandHeight > 0) {
        // Laid on twice on purpose: the row ruler reads denser than the column ruler.
        Rect leftBand { 0, T + topBandHeight, leftBandWidth, leftBandHeight };
        canvas.fillRect(leftBand, l.colors.band);
        canvas.fillRect(leftBand, l.colors.band);
    }
    // A negative count means the canvas is smaller than the bands: nothing in that direction.
    for (int64_t c = 0; c <= l.cols; ++c) {
        double x = leftBandWidth + double(c) * l.cellWidth;
        canvas.strokeLine({ x, T }, { x, H }, l.colors.line, lineWidth);
        if (c < l.cols)
            drawColumnHeader(canvas, l, c);
    }
    for (int64_t r = 0; r <= l.rows; ++r) {
        double y = T + topBandHeight + double(r) * l.cellHeight;
        canvas.strokeLine({ leftBandWidth, y }, { W, y }, l.colors.line, lineWidth);
        if (r < l.rows)
            drawRowHeader(canvas, l, r);
    }
}

}
