// EWMH hints Qt does not give our floating windows: every desktop, no taskbar or pager entry, above.
#include "x11/overlay/FloatingHints.h"

#include "x11/xcb/XcbReplies.h"

#include <xcb/shape.h>

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <algorithm>
#include <vector>

namespace tavelin::x11::overlay {

namespace {
// EWMH _NET_WM_DESKTOP: "0xFFFFFFFF indicates that the window SHOULD appear on all desktops".
constexpr uint32_t allDesktops = 0xFFFFFFFF;
}

FloatingAtoms::FloatingAtoms(xcb::X11Connection& x11)
    : wmDesktop(x11.atom("_NET_WM_DESKTOP"))
    , wmState(x11.atom("_NET_WM_STATE"))
    , above(x11.atom("_NET_WM_STATE_ABOVE"))
    , skipTaskbar(x11.atom("_NET_WM_STATE_SKIP_TASKBAR"))
    , skipPager(x11.atom("_NET_WM_STATE_SKIP_PAGER"))
{
}

// EWMH: a client sets _NET_WM_STATE and _NET_WM_DESKTOP itself only while the window is not
// mapped; once mapped, changes go through client messages to the root. This runs before a map.
void setFloatingHintsBeforeMap(xcb_connection_t* connection, const FloatingAtoms& atoms, xcb_window_t window)
{
    if (!connection || window == XCB_NONE)
        return;
    if (atoms.wmDesktop != XCB_NONE) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.wmDesktop, XCB_ATOM_CARDINAL, 32, 1,
            &allDesktops);
    }
    if (atoms.wmState == XCB_NONE)
        return;
    std::vector<uint32_t> states =
        xcb::takeList(connection, xcb::requestList(connection, window, atoms.wmState, XCB_ATOM_ATOM), XCB_ATOM_ATOM)
            .value_or(std::vector<uint32_t> {});
    for (xcb_atom_t wanted : { atoms.above, atoms.skipTaskbar, atoms.skipPager }) {
        if (wanted != XCB_NONE && std::find(states.begin(), states.end(), wanted) == states.end())
            states.push_back(wanted);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.wmState, XCB_ATOM_ATOM, 32,
        uint32_t(states.size()), states.data());
}

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
