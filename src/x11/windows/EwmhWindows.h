// What EWMH and ICCCM say about client windows, read in one batch, and how it becomes a window record.
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace tavelin::x11::windows {

// Layers of the window list. Only "ordinary or not" matters to the hit test; the values follow the
// order in which window managers stack these kinds of windows.
namespace layer {
constexpr int64_t desktop = -1000;
constexpr int64_t ordinary = 0;
constexpr int64_t keptAbove = 3;
constexpr int64_t dock = 20;
constexpr int64_t menu = 24;
constexpr int64_t splash = 25;
constexpr int64_t notification = 26;
constexpr int64_t tooltip = 27;
constexpr int64_t dragAndDrop = 28;
}

// The atoms the window list reads, interned once.
struct EwmhAtoms {
    explicit EwmhAtoms(xcb::X11Connection& x11);

    xcb_atom_t supportingWmCheck, clientList, clientListStacking, currentDesktop;
    xcb_atom_t wmPid, wmDesktop, wmState, wmWindowType, frameExtents, gtkFrameExtents, icccmWmState;
    xcb_atom_t stateHidden, stateAbove;
    xcb_atom_t typeDesktop, typeDock, typeMenu, typeDropdownMenu, typePopupMenu, typeCombo, typeSplash,
        typeNotification, typeTooltip, typeDnd;
};

// One client window as the server and its window manager describe it.
struct ClientFacts {
    xcb_window_t window = XCB_NONE;
    bool viewable = false;
    bool overrideRedirect = false;
    bool hasIcccmState = false; // WM_STATE: a window manager manages it (ICCCM 4.1.3.1)
    // The client's own rectangle on the root, its border included.
    core::Rect outer;
    std::optional<int32_t> pid;
    std::optional<uint32_t> desktop;
    std::vector<xcb_atom_t> states;
    std::vector<xcb_atom_t> types;
    std::optional<std::array<uint32_t, 4>> frameExtents;
    std::optional<std::array<uint32_t, 4>> gtkFrameExtents;
    // The root's child holding the window (its manager's frame, or itself): stated frame extents
    // cannot reach beyond it, and it is the frame when a manager states none (i3).
    std::optional<core::Rect> frame;

    bool hasState(xcb_atom_t state) const;
};

// Reads the facts of many windows with all requests sent before the first reply is awaited.
// A window that is gone (or answers with any X error) has no entry: nullopt at its index.
std::vector<std::optional<ClientFacts>> readClientFacts(xcb::X11Connection& x11, const EwmhAtoms& atoms,
    std::span<const xcb_window_t> windows);

// The window type that decides the layer: the first type in the client's list we know
// (EWMH: the list is in order of preference).
int64_t layerOf(const ClientFacts& facts, const EwmhAtoms& atoms);

bool isDesktopElement(const ClientFacts& facts, const EwmhAtoms& atoms);

// On the current desktop or on all of them; a client or window manager without desktops puts
// every window on the current one.
bool isOnDesktop(const ClientFacts& facts, std::optional<uint32_t> currentDesktop);

// The rectangle the user sees: the client grown by the window manager's frame (never past the
// frame window itself) and shrunk by the invisible margins a client-side decorated window draws
// around itself.
core::Rect visibleBounds(const ClientFacts& facts);

// The record for a client; bounds given, or else its visible bounds. Coordinates are X pixels.
core::WindowRecord makeRecord(const ClientFacts& facts, const EwmhAtoms& atoms, std::optional<core::Rect> bounds = std::nullopt);

}
