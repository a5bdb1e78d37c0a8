// Cell names and places: "C4" ↔ column and row, and a cell ↔ the root-window pixels it covers.
#pragma once

#include "core/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavelin::core {

// A cell by its zero-based column and row: C4 is column 2, row 3.
struct CellAddress {
    int64_t column = 0;
    int64_t row = 0;
    friend bool operator==(const CellAddress&, const CellAddress&) = default;
};

// Letters (any case) then a row number from 1 without leading zeros: "C4", "aa10". Anything else,
// and names too long to be any grid's, is no cell.
std::optional<CellAddress> parseCellName(std::string_view name);
// Written as a cell name, but with more letters or digits than any grid's: "ZZZZZZZZ1", "A1234567890".
bool isCellNameBeyondAnyGrid(std::string_view name);
// The name the grid draws: "C4".
std::string cellName(CellAddress);

// Where the grid's cells lie inside a view of the given size, in points from the view's top-left.
// Only whole cells count; columns or rows are 0 or less when the bands leave no room.
struct GridLayout {
    double topInset = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    int64_t columns = 0;
    int64_t rows = 0;

    static GridLayout of(Size view, double cellWidth, double cellHeight, bool fullScreen);
    // The first cell's top-left corner.
    Point origin() const;
    Rect cellRect(CellAddress) const;
};

// Whole device pixels on the root window.
struct PixelPoint {
    int64_t x = 0;
    int64_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};
struct PixelRect {
    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Global points to root pixels: pixel i holds the points whose scaled position lies in [i - 0.5, i + 0.5),
// so an edge falls on the first pixel whose centre is inside.
PixelRect toPixelRect(const Rect& points, double scale);

// Why a pixel has no cell.
enum class NoCell { outsideGrid, onBand, partialCell };

// The grid as drawn over a frame (global points) at a scale (device pixels per point).
class CellMap {
public:
    CellMap(const Rect& frame, double scale, double cellWidth, double cellHeight, bool fullScreen);

    const GridLayout& layout() const { return m_layout; }
    int64_t columns() const { return m_layout.columns > 0 ? m_layout.columns : 0; }
    int64_t rows() const { return m_layout.rows > 0 ? m_layout.rows : 0; }
    bool contains(CellAddress) const;

    // The cell's pixels, and the pixel holding its exact centre; none for a cell not on the grid.
    std::optional<PixelRect> cellPixels(CellAddress) const;
    std::optional<PixelPoint> cellCentre(CellAddress) const;

    struct Lookup {
        std::optional<CellAddress> cell;
        NoCell reason = NoCell::outsideGrid; // when there is no cell
    };
    // The cell under a pixel, judged at the pixel's centre.
    Lookup cellAt(PixelPoint) const;

private:
    PixelRect pixelsOf(CellAddress) const;

    Rect m_frame;
    double m_scale;
    GridLayout m_layout;
};

}
