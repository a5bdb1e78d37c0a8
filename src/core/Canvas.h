// The small drawing interface the overlay view draws through: a painter on screen, a recorder in tests.
#pragma once

#include "core/Color.h"
#include "core/Geometry.h"

#include <span>
#include <string>
#include <string_view>

namespace tavelin::core {

enum class FontWeight { regular, semibold, bold };

// A monospaced system font at a size in points.
struct Font {
    double size = 12;
    FontWeight weight = FontWeight::regular;
    friend bool operator==(const Font&, const Font&) = default;
};

// Texts laid out on a grid, as the cell names are: the text at column c and row r is
// columnTexts[c] followed by rowTexts[r], its bounds centred on (xs[c], ys[r]).
struct TextGrid {
    std::span<const std::string> columnTexts;
    std::span<const double> xs;
    std::span<const std::string> rowTexts;
    std::span<const double> ys;
    Font font;
    Color color;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    // Fills rect, antialiased, blended over what is there.
    virtual void fillRect(const Rect& rect, const Color& color) = 0;
    virtual void fillRoundedRect(const Rect& rect, double radius, const Color& color) = 0;
    // Strokes the straight segment from a to b.
    virtual void strokeLine(Point a, Point b, const Color& color, double lineWidth) = 0;
    // Draws one line of UTF-8 text whose bounds are centred on centre.
    virtual void drawText(std::string_view text, Point centre, const Font& font, const Color& color) = 0;
    // The size of the bounds drawText would give the text.
    virtual Size measureText(std::string_view text, const Font& font) = 0;
    // Draws every text of the grid as drawText would, row by row, each row from its first column.
    // A canvas that can lay the whole grid out at once does so; this is the text by text way.
    virtual void drawTextGrid(const TextGrid& grid)
    {
        std::string text;
        for (size_t r = 0; r < grid.rowTexts.size() && r < grid.ys.size(); ++r) {
            for (size_t c = 0; c < grid.columnTexts.size() && c < grid.xs.size(); ++c) {
                text.assign(grid.columnTexts[c]).append(grid.rowTexts[r]);
                drawText(text, { grid.xs[c], grid.ys[r] }, grid.font, grid.color);
            }
        }
    }
};

}
