// Keeping our override-redirect windows above every window the window manager stacks.
#pragma once

#include "x11/xcb/X11Connection.h"

#include <QObject>

#include <memory>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace tavelin::x11::overlay {

// Our kept windows among themselves, bottom to top: the adjust-mode input window over the grid
// it serves, the screenshot's flash over both.
namespace rank {
constexpr int overlay = 0;
constexpr int adjustInput = 1;
constexpr int flash = 2;
}

// One child of the root, as the stacking decision needs it.
struct StackedWindow {
    xcb_window_t id = XCB_NONE;
    bool viewable = false;
    bool overrideRedirect = false;
    bool inputOnly = false;
};

// One ConfigureWindow request: window stacked right above sibling.
struct Restack {
    xcb_window_t window;
    xcb_window_t sibling;
    bool operator==(const Restack&) const = default;
};

// The requests that bring the kept windows that are on screen, in kept's order from the bottom,
// right above the topmost viewable window a window manager stacks (not override-redirect, drawn).
// Popups of others above that one (menus, tooltips, a screen locker) stay above ours. Empty
// when the order is right already, so our own restacking never asks for another.
// children: the root's children, bottom to top.
std::vector<Restack> restackPlan(const std::vector<StackedWindow>& children, const std::vector<xcb_window_t>& kept);

// Override-redirect windows are stacked by nobody but their client: a window mapped or raised
// later covers them. This watches the root's children (SubstructureNotify, on a connection of
// its own) and lifts the kept windows back above any managed window that got above them.
class StackKeeper final : public QObject {
public:
    static StackKeeper& instance();

    // rank orders our windows among themselves: a higher rank lies above a lower one.
    void keep(xcb_window_t window, int rank);
    void release(xcb_window_t window);
    // Looks now, e.g. right after one of ours was mapped or raised.
    void restackNow();

private:
    StackKeeper();
    void readEvents();
    // Takes in one event; whether it may have put a window above ours.
    bool mayHaveRestacked(const xcb_generic_event_t& event);

    xcb::X11Connection m_x11;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unordered_map<xcb_window_t, int> m_kept;
    // The sibling each root child was last seen above: a ConfigureNotify that keeps it is a
    // move or a resize, not a restack.
    std::unordered_map<xcb_window_t, xcb_window_t> m_above;
};

}
