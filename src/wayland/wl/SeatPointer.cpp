// Following the seat's pointer capability, the pointer's focus and the left button; the cursor
// comes from the user's Xcursor theme (libwayland-cursor's own arrow when there is none).
#include "wayland/wl/SeatPointer.h"

#include "wayland/wl/WaylandConnection.h"

#include <wayland-client.h>
#include <wayland-cursor.h>

#include <cstdlib>

namespace tavelin::wayland::wl {

namespace {

constexpr uint32_t leftButton = 0x110; // BTN_LEFT

SeatPointer& self(void* data) { return *static_cast<SeatPointer*>(data); }
core::Point point(wl_fixed_t x, wl_fixed_t y) { return { wl_fixed_to_double(x), wl_fixed_to_double(y) }; }

void onCapabilities(void* data, wl_seat*, uint32_t capabilities) { self(data).capabilities(capabilities); }
void onSeatName(void*, wl_seat*, const char*) { }
const wl_seat_listener seatListener = { onCapabilities, onSeatName };

void onEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
{
    self(data).entered(serial, surface, point(x, y));
}
void onLeave(void* data, wl_pointer*, uint32_t, wl_surface* surface) { self(data).left(surface); }
void onMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) { self(data).moved(point(x, y)); }
void onButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state)
{
    self(data).button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
}
void onAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) { }
void onFrame(void*, wl_pointer*) { }
void onAxisSource(void*, wl_pointer*, uint32_t) { }
void onAxisStop(void*, wl_pointer*, uint32_t, uint32_t) { }
void onAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) { }
void onAxisValue120(void*, wl_pointer*, uint32_t, int32_t) { }
const wl_pointer_listener pointerListener = { onEnter, onLeave, onMotion, onButton, onAxis, onFrame, onAxisSource,
    onAxisStop, onAxisDiscrete, onAxisValue120 };

}

SeatPointer::SeatPointer(WaylandConnection& connection)
    : m_connection(connection)
{
}

void SeatPointer::follow(wl_seat* seat)
{
    m_seat = seat;
    wl_seat_add_listener(seat, &seatListener, this);
}

SeatPointer::~SeatPointer()
{
    if (m_pointer)
        wl_pointer_destroy(m_pointer);
    if (m_cursorSurface)
        wl_surface_destroy(m_cursorSurface);
    if (m_theme)
        wl_cursor_theme_destroy(m_theme);
}

void SeatPointer::route(wl_surface* surface, Handlers handlers) { m_routes[surface] = std::move(handlers); }

void SeatPointer::forget(wl_surface* surface)
{
    m_routes.erase(surface);
    if (m_over == surface) {
        m_over = nullptr;
        m_leftDown = false;
    }
}

void SeatPointer::capabilities(uint32_t capabilities)
{
    bool has = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (has && !m_pointer) {
        m_pointer = wl_seat_get_pointer(m_seat);
        wl_pointer_add_listener(m_pointer, &pointerListener, this);
    } else if (!has && m_pointer) {
        wl_pointer_destroy(m_pointer);
        m_pointer = nullptr;
        m_over = nullptr;
        m_leftDown = false;
    }
}

const SeatPointer::Handlers* SeatPointer::current() const
{
    auto it = m_routes.find(m_over);
    return it == m_routes.end() ? nullptr : &it->second;
}

void SeatPointer::entered(uint32_t serial, wl_surface* surface, core::Point at)
{
    m_over = surface;
    m_at = at;
    m_leftDown = false;
    if (current())
        showArrow(serial);
}

void SeatPointer::left(wl_surface* surface)
{
    if (surface != m_over)
        return;
    // The compositor keeps a pressed pointer on its surface: a leave ends the drag where it was.
    if (m_leftDown) {
        m_leftDown = false;
        if (auto* handlers = current())
            handlers->released(m_at);
    }
    m_over = nullptr;
}

void SeatPointer::moved(core::Point at)
{
    m_at = at;
    if (auto* handlers = current(); handlers && m_leftDown)
        handlers->moved(at);
}

void SeatPointer::button(uint32_t button, bool down)
{
    auto* handlers = current();
    if (button != leftButton || !handlers || down == m_leftDown)
        return;
    m_leftDown = down;
    if (down)
        handlers->pressed(m_at);
    else
        handlers->released(m_at);
}

// The cursor over a surface is the client's to set on every enter; left unset it is undefined.
void SeatPointer::showArrow(uint32_t serial)
{
    if (!m_theme) {
        const char* size = std::getenv("XCURSOR_SIZE");
        int pixels = size ? std::atoi(size) : 0;
        m_theme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), pixels > 0 ? pixels : 24, m_connection.shm());
    }
    wl_cursor* arrow = m_theme ? wl_cursor_theme_get_cursor(m_theme, "left_ptr") : nullptr;
    if (!arrow || arrow->image_count == 0)
        return;
    wl_cursor_image* image = arrow->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (!buffer)
        return;
    if (!m_cursorSurface)
        m_cursorSurface = wl_compositor_create_surface(m_connection.compositor());
    wl_pointer_set_cursor(m_pointer, serial, m_cursorSurface, int32_t(image->hotspot_x), int32_t(image->hotspot_y));
    wl_surface_attach(m_cursorSurface, buffer, 0, 0);
    wl_surface_damage(m_cursorSurface, 0, 0, int32_t(image->width), int32_t(image->height));
    wl_surface_commit(m_cursorSurface);
}

}
