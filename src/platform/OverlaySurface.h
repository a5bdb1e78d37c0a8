// The overlay's widget: paints the view translucent, or opaque in a window shaped to the painting.
#pragma once

#include "FloatingWidget.h"
#include "PaintedRegion.h"
#include "PointerCatcher.h"

#include <memory>
#include <optional>

namespace tavelin {
class TavelinView;
}

namespace tavelin::qt {

// Two ways to show the grid, switched at run time on the same window (its ARGB visual stays):
// - translucent, while a compositing manager blends it over the desktop: the view as drawn;
// - solid, while none does: the view through SolidCanvas, and the window's bounding shape cut to
//   the painted pixels, rebuilt at the end of every paint that changed them. The shape clips the
//   input region too, so while the overlay takes the mouse a PointerCatcher covers the rest.
class OverlaySurface final : public FloatingWidget {
public:
    OverlaySurface(x11::X11Connection& x11, const Rect& frame, TavelinView& view, bool solid);

    void setSolid(bool solid);
    void setTakesMouse(bool takesMouse);
    // orderFront, keeping the pointer catcher (if any) above the overlay.
    void bringToFront();

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintSolid(QPainter& painter);
    void applyShape(PaintedRegion region);
    void hideEverything();
    void updateCatcher();
    Point fromDevicePixels(Point p) const;

    TavelinView& m_view;
    bool m_solid = false;
    bool m_takesMouse = false;
    std::optional<PaintedRegion> m_shape; // what the window's bounding region is, while solid
    std::unique_ptr<PointerCatcher> m_catcher;
};

}
