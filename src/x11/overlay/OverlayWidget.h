// The overlay's widget: paints the view translucent, or opaque in a window shaped to the painting.
#pragma once

#include "shared/paint/PaintedRegion.h"
#include "x11/overlay/AdjustInputWindow.h"
#include "x11/overlay/FloatingWidget.h"
#include "x11/overlay/WindowBuffer.h"

#include <chrono>
#include <memory>
#include <optional>

namespace tavelin::core {
class TavelinView;
}

namespace tavelin::x11::overlay {

// Two ways to show the grid:
// - translucent, while a compositing manager blends it over the desktop: the view as drawn;
// - solid, while none does: the view through SolidCanvas, and the window's bounding shape cut to
//   the painted pixels, rebuilt at the end of every paint that changed them. The shape clips the
//   input region too, so while the overlay takes the mouse a AdjustInputWindow covers the rest.
// A translucent overlay becomes solid on the same window (its ARGB visual stays) when the
// compositing manager goes; the way back is a new overlay, as a shaped window may stay clipped.
class OverlayWidget final : public FloatingWidget {
public:
    OverlayWidget(const core::Rect& frame, core::TavelinView& view, bool solid);

    void becomeSolid();
    void setTakesMouse(bool takesMouse);
    // showOnTop, keeping the pointer catcher (if any) above the overlay.
    void bringToFront();
    // A repaint was asked for: what the window shows is about to change.
    void noteRepaintAsked();
    // Shown, with no change to its drawing, place or size for a while nor one pending: a compositing
    // manager has long put it on the screen as drawn.
    bool steadyOnScreen() const;

    // Painted into a WindowBuffer, not through Qt's backing store.
    QPaintEngine* paintEngine() const override { return nullptr; }

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
    void shapeToPainting(QPainter& painter);
    void applyShape(shared::paint::PaintedRegion region);
    void hideEverything();
    void updateCatcher();
    void noteChange();
    core::Point fromDevicePixels(core::Point p) const;

    core::TavelinView& m_view;
    bool m_solid = false;
    bool m_takesMouse = false;
    std::optional<shared::paint::PaintedRegion> m_shape; // what the window's bounding region is, while solid
    std::unique_ptr<AdjustInputWindow> m_catcher;
    WindowBuffer m_pixels;
    std::chrono::steady_clock::time_point m_lastChange = std::chrono::steady_clock::now();
    bool m_repaintAsked = false;
};

}
