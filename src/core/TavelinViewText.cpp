// The overlay's texts: column letters, row numbers and cell names, with their fonts and places.
#include "core/TavelinView.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace tavelin::core {

std::string TavelinView::columnLabel(int64_t index)
{
    assert(index >= 0);
    std::string name;
    int64_t n = index;
    bool more;
    do {
        name.insert(name.begin(), char('A' + n % 26));
        more = n > 25;
        n = n / 26 - 1;
    } while (more);
    return name;
}

std::string TavelinView::cellLabel(int64_t column, int64_t row)
{
    return columnLabel(column) + std::to_string(row + 1);
}

Font TavelinView::columnHeaderFont(double cellWidth)
{
    return { std::max(std::min(cellWidth * 0.15, 14.0), 8.0), FontWeight::bold };
}

Font TavelinView::rowHeaderFont(double cellHeight)
{
    return { std::max(std::min(cellHeight * 0.15, 14.0), 8.0), FontWeight::bold };
}

Font TavelinView::cellLabelFont(double cellWidth, double cellHeight)
{
    double side = std::min(cellWidth, cellHeight);
    return { std::max(std::min(side * 0.18, 16.0), 9.0), FontWeight::semibold };
}

void TavelinView::drawColumnHeader(Canvas& canvas, const Layout& l, int64_t column) const
{
    Point centre { leftBandWidth + double(column) * l.cellWidth + l.cellWidth / 2, l.topInset + topBandHeight / 2 };
    canvas.drawText(columnLabel(column), centre, columnHeaderFont(l.cellWidth), l.colors.header);
}

void TavelinView::drawRowHeader(Canvas& canvas, const Layout& l, int64_t row) const
{
    Point centre { leftBandWidth / 2, l.topInset + topBandHeight + double(row) * l.cellHeight + l.cellHeight / 2 };
    canvas.drawText(std::to_string(row + 1), centre, rowHeaderFont(l.cellHeight), l.colors.header);
}

void TavelinView::drawCellLabels(Canvas& canvas, const Layout& l) const
{
    if (l.rows <= 0 || l.cols <= 0)
        return;
    // A name depends on its index alone: the parts of the names are made once, kept for later frames.
    auto& names = m_labelParts;
    while (names.columns.size() < size_t(l.cols))
        names.columns.push_back(columnLabel(int64_t(names.columns.size())));
    while (names.rows.size() < size_t(l.rows))
        names.rows.push_back(std::to_string(names.rows.size() + 1));
    names.xs.resize(size_t(l.cols));
    for (int64_t c = 0; c < l.cols; ++c)
        names.xs[size_t(c)] = leftBandWidth + double(c) * l.cellWidth + l.cellWidth / 2;
    names.ys.resize(size_t(l.rows));
    for (int64_t r = 0; r < l.rows; ++r)
        names.ys[size_t(r)] = l.topInset + topBandHeight + double(r) * l.cellHeight + l.cellHeight / 2;
    canvas.drawTextGrid({ std::span(names.columns).first(size_t(l.cols)), names.xs,
        std::span(names.rows).first(size_t(l.rows)), names.ys, cellLabelFont(l.cellWidth, l.cellHeight),
        l.colors.cellLabel });
}

}
