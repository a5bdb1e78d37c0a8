// What our floating windows tell the server beyond Qt's flags: the input region of click-through.
#include "x11/overlay/FloatingHints.h"

#include <xcb/shape.h>

namespace tavelin::x11::overlay {

void setInputPassThrough(xcb_connection_t* connection, xcb_window_t window, bool passThrough)
{
    if (!connection || window == XCB_NONE)
        return;
    if (passThrough)
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0, nullptr);
    else
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window, 0, 0, XCB_NONE);
    xcb_flush(connection);
}

}
