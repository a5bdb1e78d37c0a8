// EWMH hints Qt does not give our floating windows: every desktop, no taskbar or pager entry, above.
#pragma once

#include "x11/xcb/X11Connection.h"

#include <xcb/xcb.h>

namespace tavelin::x11::overlay {

// The atoms of the hints below, interned once on our connection (atoms are server-wide, so
// they serve requests on any connection).
struct FloatingAtoms {
    explicit FloatingAtoms(xcb::X11Connection& x11);

    xcb_atom_t wmDesktop;
    xcb_atom_t wmState;
    xcb_atom_t above;
    xcb_atom_t skipTaskbar;
    xcb_atom_t skipPager;
};

// EWMH _NET_WM_DESKTOP = 0xFFFFFFFF (all desktops) and _NET_WM_STATE with ABOVE, SKIP_TASKBAR and
// SKIP_PAGER, written on a withdrawn window: the window manager reads them when the window is
// mapped and removes them when it is withdrawn, so they go on again before every map. States
// already present (Qt's own) are kept. The requests go out on connection, which must be the one
// that maps the window so they reach the server before the map.
void setFloatingHintsBeforeMap(xcb_connection_t* connection, const FloatingAtoms& atoms, xcb_window_t window);

// The X Shape extension's input region of window: empty (pointer events go to whatever lies
// beneath) or the default, the whole window whatever its size. Sending it again once the window
// manager has the window mapped matters: a reparenting manager copies the client's input shape
// to its frame only when told of a change (ShapeNotify), and an input shape set before mapping
// would leave the frame catching every click.
void setInputPassThrough(xcb_connection_t* connection, xcb_window_t window, bool passThrough);

}
