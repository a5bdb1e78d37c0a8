// Knowing when a window being unmapped has really left the screen's pixels (Damage on the root).
#pragma once

#include "x11/xcb/X11Connection.h"

#include <functional>

namespace tavelin::x11::capture {

class RemovalWatch {
public:
    // Longest wait for a window that never visibly leaves (no repaint comes).
    static constexpr double timeoutSeconds = 1.0;

    RemovalWatch();
    RemovalWatch(const RemovalWatch&) = delete;
    RemovalWatch& operator=(const RemovalWatch&) = delete;

    struct Outcome {
        double waited = 0;            // seconds in all
        double goneAfter = 0;         // seconds until the window had left the screen's pixels
        bool seen = false;            // false: nothing to watch, or the timeout ended the wait
        bool unmapUnseen = false;     // already off screen when the watch began
    };

    // Blocks until window, whose unmap sendUnmap pushes to the server, no longer shows in the
    // root's image, and at least minSeconds.
    Outcome waitUntilGone(xcb_window_t window, const std::function<void()>& sendUnmap, double minSeconds);
    // Blocks until window, a child of the root, is unmapped or destroyed, at most timeoutSeconds.
    // What is drawn after that is not looked at.
    void waitUntilUnmapped(xcb_window_t window);

private:
    struct Session;
    bool prepare(Session& session, xcb_window_t window);
    void finish(Session& session);
    void dispatch(Session& session, xcb_generic_event_t* event);

    // Events of our own, in the server's order: nobody else reads or steals them.
    xcb::X11Connection m_x11;
    uint8_t m_damageEventBase = 0;
    bool m_hasDamage = false;
};

}
