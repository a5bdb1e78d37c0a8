// The overlay and flash windows as Qt top-levels with the X11 properties Qt does not set.
#pragma once

#include "Platform.h"
#include "X11Connection.h"

#include <memory>

namespace tavelin::qt {

class CompositorWatch;

// The window hosting the view: covers frame, draws the view on a transparent background (or,
// while no compositing manager runs, opaque in a window shaped to the drawing), passes
// left-button presses, drags and releases to the view while it takes the mouse.
std::unique_ptr<OverlayWindow> createOverlayWidget(x11::X11Connection& x11, const Rect& frame, TavelinView& view,
    CompositorWatch& compositor);
// A white pane at alpha 0.3 over frame, click-through, above the overlay; without a compositing
// manager a screen of white lines covering the same share of the frame.
std::unique_ptr<FlashWindow> createFlashWidget(x11::X11Connection& x11, const Rect& frame, CompositorWatch& compositor);

// Ids of every top-level window Tavelin has made (overlay, flash, tray menu), so window lists
// and captures can leave them out.
void registerOwnTopLevel(uint32_t windowId);
void unregisterOwnTopLevel(uint32_t windowId);
bool isOwnTopLevel(uint32_t windowId);

}
