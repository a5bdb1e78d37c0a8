// Cell names and places, worked out with the same layout the overlay view draws.
#include "core/CellMap.h"

#include "core/TavelinView.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <limits>

namespace tavelin::core {

namespace {
// More letters or digits than this names no cell of any screen, and keeps the arithmetic exact.
constexpr size_t maxColumnLetters = 7;
constexpr size_t maxRowDigits = 9;

// How many letters a name written as a cell's begins with: ASCII letters, then a row number
// without leading zeros, and nothing after. 0 when it is not written so.
size_t writtenLetters(std::string_view name)
{
    auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    auto letters = size_t(std::find_if_not(name.begin(), name.end(), isLetter) - name.begin());
    auto digits = name.substr(letters);
    bool written = letters > 0 && !digits.empty() && digits.front() != '0' && std::all_of(digits.begin(), digits.end(), isDigit);
    return written ? letters : 0;
}

// Truncates toward zero; counts beyond any screen are held at a bound instead of overflowing.
int64_t truncatedCount(double value)
{
    if (!std::isfinite(value))
        return value > 0 ? std::numeric_limits<int32_t>::max() : -1;
    constexpr double limit = std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(std::trunc(std::clamp(value, -limit, limit)));
}

// The first pixel whose centre lies at or after the scaled coordinate.
int64_t pixelEdge(double points, double scale)
{
    return static_cast<int64_t>(std::ceil(points * scale - 0.5));
}
}

std::optional<CellAddress> parseCellName(std::string_view name)
{
    size_t letters = writtenLetters(name);
    // Longer than any grid's names: no cell (and no overflow on the way there).
    if (letters == 0 || letters > maxColumnLetters || name.size() - letters > maxRowDigits)
        return std::nullopt;
    int64_t column = 0, row = 0;
    for (char c : name.substr(0, letters))
        column = column * 26 + (char(std::toupper(static_cast<unsigned char>(c))) - 'A' + 1);
    for (char c : name.substr(letters))
        row = row * 10 + (c - '0');
    return CellAddress { column - 1, row - 1 };
}

bool isCellNameBeyondAnyGrid(std::string_view name)
{
    size_t letters = writtenLetters(name);
    return letters > 0 && (letters > maxColumnLetters || name.size() - letters > maxRowDigits);
}

std::string cellName(CellAddress cell) { return TavelinView::cellLabel(cell.column, cell.row); }

GridLayout GridLayout::of(Size view, double cellWidth, double cellHeight, bool fullScreen)
{
    assert(cellWidth > 0 && cellHeight > 0);
    GridLayout l;
    l.topInset = fullScreen ? TavelinView::fullScreenTopInset : 0;
    l.cellWidth = cellWidth;
    l.cellHeight = cellHeight;
    l.columns = truncatedCount((view.width - TavelinView::leftBandWidth) / cellWidth);
    l.rows = truncatedCount((view.height - l.topInset - TavelinView::topBandHeight) / cellHeight);
    return l;
}

Point GridLayout::origin() const { return { TavelinView::leftBandWidth, topInset + TavelinView::topBandHeight }; }

Rect GridLayout::cellRect(CellAddress cell) const
{
    auto o = origin();
    return { o.x + double(cell.column) * cellWidth, o.y + double(cell.row) * cellHeight, cellWidth, cellHeight };
}

PixelRect toPixelRect(const Rect& points, double scale)
{
    auto left = pixelEdge(points.x, scale), top = pixelEdge(points.y, scale);
    return { left, top, pixelEdge(points.x + points.width, scale) - left, pixelEdge(points.y + points.height, scale) - top };
}

CellMap::CellMap(const Rect& frame, double scale, double cellWidth, double cellHeight, bool fullScreen)
    : m_frame(frame)
    , m_scale(scale > 0 ? scale : 1)
    , m_layout(GridLayout::of(frame.size(), cellWidth, cellHeight, fullScreen))
{
}

bool CellMap::contains(CellAddress cell) const
{
    return cell.column >= 0 && cell.row >= 0 && cell.column < columns() && cell.row < rows();
}

// A cell ends where the next one begins, computed the same way, so neighbours share their edge
// pixel exactly (x + width can round differently from the next cell's x).
PixelRect CellMap::pixelsOf(CellAddress cell) const
{
    auto r = m_layout.cellRect(cell);
    auto next = m_layout.cellRect({ cell.column + 1, cell.row + 1 });
    auto left = pixelEdge(m_frame.x + r.x, m_scale), top = pixelEdge(m_frame.y + r.y, m_scale);
    return { left, top, pixelEdge(m_frame.x + next.x, m_scale) - left, pixelEdge(m_frame.y + next.y, m_scale) - top };
}

std::optional<PixelRect> CellMap::cellPixels(CellAddress cell) const
{
    if (!contains(cell))
        return std::nullopt;
    return pixelsOf(cell);
}

std::optional<PixelPoint> CellMap::cellCentre(CellAddress cell) const
{
    if (!contains(cell))
        return std::nullopt;
    auto r = m_layout.cellRect(cell);
    double x = (m_frame.x + r.x + r.width / 2) * m_scale;
    double y = (m_frame.y + r.y + r.height / 2) * m_scale;
    return PixelPoint { static_cast<int64_t>(std::floor(x)), static_cast<int64_t>(std::floor(y)) };
}

CellMap::Lookup CellMap::cellAt(PixelPoint pixel) const
{
    Point p { (double(pixel.x) + 0.5) / m_scale - m_frame.x, (double(pixel.y) + 0.5) / m_scale - m_frame.y };
    // The clear strip the full-screen grid leaves for a menu bar is not part of the grid.
    if (p.x < 0 || p.y < m_layout.topInset || p.x >= m_frame.width || p.y >= m_frame.height)
        return { std::nullopt, NoCell::outsideGrid };
    auto o = m_layout.origin();
    if (p.x < o.x || p.y < o.y)
        return { std::nullopt, NoCell::onBand };
    CellAddress cell { static_cast<int64_t>(std::floor((p.x - o.x) / m_layout.cellWidth)),
        static_cast<int64_t>(std::floor((p.y - o.y) / m_layout.cellHeight)) };
    // A pixel centre exactly on a cell edge rounds to either side; the cell's own pixel rectangle
    // decides, so a lookup and cellPixels never disagree.
    auto edges = pixelsOf(cell);
    if (pixel.x < edges.x)
        --cell.column;
    else if (pixel.x >= edges.x + edges.width)
        ++cell.column;
    if (pixel.y < edges.y)
        --cell.row;
    else if (pixel.y >= edges.y + edges.height)
        ++cell.row;
    if (cell.column < 0 || cell.row < 0)
        return { std::nullopt, NoCell::onBand };
    if (!contains(cell))
        return { std::nullopt, NoCell::partialCell };
    return { cell, NoCell::outsideGrid };
}

}
