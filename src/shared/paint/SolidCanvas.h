// The overlay's drawing for a window without translucency: opaque, whole-pixel strokes and texts.
#pragma once

#include "core/Canvas.h"
#include "shared/paint/PaintedRegion.h"

#include <vector>

namespace tavelin::shared::paint {

// Stands between the view and the real canvas while no compositing manager runs, where the
// overlay is a window shaped to its painted pixels and every painted pixel is opaque:
// - lines and texts keep their colour at full opacity (faint on the composited screen, they
//   would be grey smudges over black here); lines fill whole device pixels, at least one wide,
//   so no half-covered pixel turns into a darker seam;
// - every line gets a black shadow one device pixel beside it (right of a vertical line, below
//   a horizontal one): without the desktop showing through, light lines would vanish on light
//   windows and dark ones on dark windows; with it they read on both;
// - a text that does not stand on a fill (a cell label, unlike a header on its ruler) stands on
//   a chip of its own, dark like the rulers: it reads on any window, and the window's shape
//   takes one rectangle per label instead of the outline of every glyph (hundreds of thousands
//   of rectangles on a 4K screen full of labels, which the X server is slow to take);
// - fills keep their colour and opacity and are snapped to whole device pixels; the shape lays
//   them over a dark grey (shapeStyle): the rulers become solid dark bands the headers stand
//   out on;
// - fills fainter than faintestFill (the adjust-mode tint over the whole overlay) are left out:
//   opaque, they would hide the desktop.
class SolidCanvas final : public core::Canvas {
public:
    // How the painted pixels become the window's shape: pixels under 48/255 opaque (the faint
    // fringe of antialiased text) stay out, the rest is laid over a dark grey.
    static constexpr PaintedRegion::Style shapeStyle { 48, 72 };
    static constexpr double faintestFill = 0.1;
    static constexpr core::Color shadow { 0, 0, 0, 1 };
    // The top ruler's look (black at 0.35 over the grey), already opaque: cheaper to fill.
    static constexpr double chipGrey = (1 - 0.35) * shapeStyle.backdropGrey / 255.0;
    static constexpr core::Color chip { chipGrey, chipGrey, chipGrey, 1 };
    // Device pixels of chip around a text's bounds.
    static constexpr double chipMargin = 1;

    SolidCanvas(core::Canvas& target, double devicePixelsPerPoint);

    void fillRect(const core::Rect& rect, const core::Color& color) override;
    void fillRoundedRect(const core::Rect& rect, double radius, const core::Color& color) override;
    void strokeLine(core::Point a, core::Point b, const core::Color& color, double lineWidth) override;
    void drawText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color) override;
    core::Size measureText(std::string_view text, const core::Font& font) override;

private:
    double toPixel(double points) const;
    core::Rect snapped(const core::Rect& rect) const;
    core::Rect lineCover(core::Point a, core::Point b, double lineWidth) const;
    bool standsOnFill(core::Point p) const;

    core::Canvas& m_target;
    double m_scale;
    double m_pixel; // one device pixel, in points
    std::vector<core::Rect> m_fills; // drawn so far, texts on them need no chip
};

}
