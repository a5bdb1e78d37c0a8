// Hearing at once when a followed window moves, changes size or leaves the screen (StructureNotify).
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace tavelin::x11::windows {

// A window manager moves the frame it put the client in, not the client: the root's child holding
// the window is watched for moves, resizes, unmaps, destruction and being reparented, the client for
// being reparented (a new manager, a new frame) and for the properties its visible rectangle is read
// from, and the root for the managed-window list. Events read together make one call per watch.
class BoundsWatch {
public:
    BoundsWatch();
    ~BoundsWatch();
    BoundsWatch(const BoundsWatch&) = delete;
    BoundsWatch& operator=(const BoundsWatch&) = delete;

    // changed also runs once on the event loop right after the watch began, for anything that
    // happened before the server heard of it. 0 when the window is gone or nothing can be watched.
    core::WatchId watch(xcb_window_t client, std::function<void()> changed);
    void remove(core::WatchId token);

private:
    struct Watched {
        xcb_window_t client = XCB_NONE;
        xcb_window_t frame = XCB_NONE;
        std::function<void()> changed;
    };
    bool select(Watched& watched);
    void setMask(xcb_window_t window, uint32_t mask);
    void readEvents();
    std::vector<core::WatchId> concerned(const xcb_generic_event_t& event, bool& reselect);
    void notify(const std::vector<core::WatchId>& tokens);

    xcb::X11Connection m_x11;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<core::WatchId, Watched> m_watched;
    core::WatchId m_nextToken = 1;
    xcb_atom_t m_clientList = XCB_NONE;
    std::vector<xcb_atom_t> m_clientAtoms; // the client's properties its bounds are read from
};

}
