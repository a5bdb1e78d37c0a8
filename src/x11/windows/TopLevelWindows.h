// Windows of a desktop without an EWMH window manager: the root's mapped children and their clients.
#pragma once

#include "x11/windows/EwmhWindows.h"

namespace tavelin::x11::windows {

struct TopLevel {
    xcb_window_t client = XCB_NONE; // the window an application made
    core::Rect outer;                     // the root's child holding it, border included
};

// The root's viewable children, frontmost first. A child that is a window manager's frame
// stands for the client inside it (the child below it carrying WM_STATE, ICCCM 4.1.3.1).
std::vector<TopLevel> viewableTopLevels(xcb::X11Connection& x11, const EwmhAtoms& atoms);

// Menus on screen now, frontmost first: override-redirect children of the root typed as a menu
// (EWMH _NET_WM_WINDOW_TYPE_MENU, _DROPDOWN_MENU, _POPUP_MENU) that reach into screen (the root's
// rectangle), whoever drew them.
std::vector<xcb_window_t> shownMenus(xcb::X11Connection& x11, const EwmhAtoms& atoms, const core::Rect& screen);

// The root's child that holds window (the window itself, or its manager's frame); none once it is gone.
std::optional<xcb_window_t> topLevelOf(xcb::X11Connection& x11, xcb_window_t window);

// The rectangle of the root's child that holds window; none once it is gone.
std::optional<core::Rect> topLevelRect(xcb::X11Connection& x11, xcb_window_t window);

// The same for many windows, each level of the walk asked for all of them at once.
std::vector<std::optional<core::Rect>> topLevelRects(xcb::X11Connection& x11, std::span<const xcb_window_t> windows);

}
