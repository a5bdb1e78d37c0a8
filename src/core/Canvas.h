// The small drawing interface the overlay view draws through: a painter on screen, a recorder in tests.
#pragma once

#include "core/Color.h"
#include "core/Geometry.h"

#include <string_view>

namespace tavelin::core {

enum class FontWeight { regular, semibold, bold };

// A monospaced system font at a size in points.
struct Font {
    double size = 12;
    FontWeight weight = FontWeight::regular;
    friend bool operator==(const Font&, const Font&) = default;
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
};

}
