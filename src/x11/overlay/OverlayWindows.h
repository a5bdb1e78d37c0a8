// The overlay and flash windows as Qt top-levels with the X11 properties Qt does not set.
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <memory>

namespace tavelin::x11::overlay {

class CompositorWatch;

// The window hosting the view: covers frame, draws the view on a transparent background (or,
// while no compositing manager runs, opaque in a window shaped to the drawing), passes
// left-button presses, drags and releases to the view while it takes the mouse.
std::unique_ptr<core::OverlayWindow> createOverlayWindow(const core::Rect& frame, core::TavelinView& view,
    CompositorWatch& compositor);
// A white pane at alpha 0.3 over frame, click-through, above the overlay; without a compositing
// manager a screen of white lines covering the same share of the frame.
std::unique_ptr<core::FlashWindow> createFlashWindow(const core::Rect& frame, CompositorWatch& compositor);


}
