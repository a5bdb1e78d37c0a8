// The X Shape extension's bounding region of our windows: which of their pixels reach the screen.
#include "x11/overlay/BoundingShape.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cstddef>

namespace tavelin::x11::overlay {

namespace {

// ShapeRectangles: a 16-byte header, then 8 bytes per rectangle; lengths count 4-byte units.
constexpr size_t headerUnits = 4;
constexpr size_t unitsPerRectangle = 2;
// The X server's Shape extension counts the rectangles from the request's 16-bit length field,
// which a BIG-REQUESTS request leaves 0: the list then reads as empty, without an error. So no
// request may be longer than that field can say.
constexpr size_t longestPlainRequest = 0xffff;

size_t rectanglesPerRequest(xcb_connection_t* connection)
{
    size_t units = std::min<size_t>(xcb_get_maximum_request_length(connection), longestPlainRequest);
    return units > headerUnits ? (units - headerUnits) / unitsPerRectangle : 0;
}

}

// A list too long for one request goes as a Set and then Unions, each piece banded in itself.
void setBoundingRectangles(xcb_connection_t* connection, xcb_window_t window,
    std::span<const shared::paint::ShapeRect> rectangles)
{
    static_assert(sizeof(shared::paint::ShapeRect) == sizeof(xcb_rectangle_t));
    static_assert(offsetof(shared::paint::ShapeRect, height) == offsetof(xcb_rectangle_t, height));
    if (!connection || window == XCB_NONE)
        return;
    size_t chunk = rectanglesPerRequest(connection);
    if (chunk == 0)
        return;
    size_t sent = 0;
    do {
        size_t count = std::min(chunk, rectangles.size() - sent);
        xcb_shape_rectangles(connection, sent == 0 ? XCB_SHAPE_SO_SET : XCB_SHAPE_SO_UNION, XCB_SHAPE_SK_BOUNDING,
            XCB_CLIP_ORDERING_YX_BANDED, window, 0, 0, uint32_t(count),
            reinterpret_cast<const xcb_rectangle_t*>(rectangles.data() + sent));
        sent += count;
    } while (sent < rectangles.size());
    xcb_flush(connection);
}

void clearBoundingShape(xcb_connection_t* connection, xcb_window_t window)
{
    if (!connection || window == XCB_NONE)
        return;
    xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window, 0, 0, XCB_NONE);
    xcb_flush(connection);
}

}
