// The seat's pointer, handed out by surface: the left button's press, drag and release on one of
// our surfaces go to that surface's handlers, and the arrow cursor shows over it.
#pragma once

#include "core/Geometry.h"

#include <cstdint>
#include <functional>
#include <map>

struct wl_pointer;
struct wl_seat;
struct wl_surface;
struct wl_cursor_theme;

namespace tavelin::wayland::wl {

class WaylandConnection;

class SeatPointer {
public:
    // Surface-local positions in points.
    struct Handlers {
        std::function<void(core::Point)> pressed;
        std::function<void(core::Point)> moved; // while the left button is down
        std::function<void(core::Point)> released;
    };

    explicit SeatPointer(WaylandConnection& connection);
    // Listens to seat from now on; called as it is bound, before its first events arrive.
    void follow(wl_seat* seat);
    ~SeatPointer();
    SeatPointer(const SeatPointer&) = delete;
    SeatPointer& operator=(const SeatPointer&) = delete;

    // Routes the pointer on surface to handlers until forget(surface), which must come before the
    // surface is destroyed.
    void route(wl_surface* surface, Handlers handlers);
    void forget(wl_surface* surface);

    // Seat and pointer listeners, called by the C callbacks.
    void capabilities(uint32_t capabilities);
    void entered(uint32_t serial, wl_surface* surface, core::Point at);
    void left(wl_surface* surface);
    void moved(core::Point at);
    void button(uint32_t button, bool down);

private:
    void showArrow(uint32_t serial);
    const Handlers* current() const;

    WaylandConnection& m_connection;
    wl_seat* m_seat = nullptr;
    wl_pointer* m_pointer = nullptr;
    std::map<wl_surface*, Handlers> m_routes;
    wl_surface* m_over = nullptr;
    core::Point m_at;
    bool m_leftDown = false;
    wl_cursor_theme* m_theme = nullptr;
    wl_surface* m_cursorSurface = nullptr;
};

}
