// The X Shape extension's bounding region of our windows: which of their pixels reach the screen.
#pragma once

#include "shared/paint/PaintedRegion.h"

#include <xcb/xcb.h>

#include <span>

namespace tavelin::x11::overlay {

// ShapeRectangles with operation Set on the bounding region: the window shows only inside the
// rectangles (none: nothing at all). The rectangles must be in YXBanded order. The input region
// is clipped by the bounding region, so pointer events outside the rectangles pass through too.
void setBoundingRectangles(xcb_connection_t* connection, xcb_window_t window,
    std::span<const shared::paint::ShapeRect> rectangles);

// ShapeMask with no pixmap: the bounding region goes back to the default, the whole window.
void clearBoundingShape(xcb_connection_t* connection, xcb_window_t window);

}
