// Colours with straight alpha, and the named colours the grid is drawn in.
#pragma once

namespace tavelin::core {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // The colour with its alpha multiplied by factor.
    constexpr Color opacity(double factor) const { return {red, green, blue, alpha * factor}; }
    friend bool operator==(const Color&, const Color&) = default;
};

// The desktop toolkit's (SVG / CSS keyword) named colours.
namespace named {
constexpr Color black {0, 0, 0, 1};
constexpr Color white {1, 1, 1, 1};
constexpr Color blue {0, 0, 1, 1};
constexpr Color green {0, 128 / 255.0, 0, 1};
constexpr Color cyan {0, 1, 1, 1};
constexpr Color yellow {1, 1, 0, 1};
constexpr Color red {1, 0, 0, 1};
constexpr Color orange {1, 165 / 255.0, 0, 1};
constexpr Color pink {1, 192 / 255.0, 203 / 255.0, 1};
}

}
