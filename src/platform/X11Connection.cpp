// Tavelin's own xcb connection: atoms, property reads and error-safe replies.
#include "X11Connection.h"

#include <cstdlib>
#include <memory>

namespace tavelin::x11 {

X11Connection::X11Connection()
{
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem && i < screenNumber; ++i)
        xcb_screen_next(&it);
    m_screen = it.rem ? it.data : nullptr;
}

X11Connection::~X11Connection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t X11Connection::atom(const std::string& name)
{
    if (!m_connection)
        return XCB_NONE;
    if (auto it = m_atoms.find(name); it != m_atoms.end())
        return it->second;
    auto cookie = xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.c_str());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(m_connection, cookie, nullptr), &free);
    xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    if (result != XCB_NONE)
        m_atoms.emplace(name, result);
    return result;
}

// ICCCM/EWMH CARDINAL, WINDOW and ATOM properties are lists of 32-bit items; anything else
// (wrong type, 8- or 16-bit format, missing) reads as absent.
std::optional<std::vector<uint32_t>> X11Connection::cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    if (!m_connection || property == XCB_NONE)
        return std::nullopt;
    auto cookie = xcb_get_property(m_connection, 0, window, property, type, 0, 1 << 16);
    xcb_generic_error_t* error = nullptr;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(m_connection, cookie, &error), &free);
    free(error);
    if (!reply || reply->type != type || reply->format != 32)
        return std::nullopt;
    auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    auto count = static_cast<size_t>(xcb_get_property_value_length(reply.get())) / 4;
    return std::vector<uint32_t>(data, data + count);
}

void X11Connection::flush()
{
    if (m_connection)
        xcb_flush(m_connection);
}

}
