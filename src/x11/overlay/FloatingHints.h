// What our floating windows tell the server beyond Qt's flags: the input region of click-through.
#pragma once

#include "x11/xcb/X11Connection.h"

#include <xcb/xcb.h>

namespace tavelin::x11::overlay {

// The X Shape extension's input region of window: empty (pointer events go to whatever lies
// beneath) or the default, the whole window whatever its size. Qt's own flag sets a region of
// the window's size at that moment, which a later resize would leave behind.
void setInputPassThrough(xcb_connection_t* connection, xcb_window_t window, bool passThrough);

}
