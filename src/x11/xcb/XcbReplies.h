// Taking xcb replies that may be missing: owned replies, dropped errors, checked 32-bit property lists.
#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace tavelin::x11::xcb {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

// Waits for one reply. An X error (BadWindow for a window that vanished after the request was
// sent, and so on) yields no reply; the error is taken here so it never reaches an event queue.
template<typename T, typename Cookie>
Reply<T> takeReply(xcb_connection_t* connection, Cookie cookie,
    T* (*replyFunction)(xcb_connection_t*, Cookie, xcb_generic_error_t**))
{
    xcb_generic_error_t* error = nullptr;
    Reply<T> reply(replyFunction(connection, cookie, &error), &free);
    free(error);
    return reply;
}

// A request for a whole 32-bit list property of one type (ICCCM 2.1: the reply names the actual
// type, so a property of another type is recognisable without reading it).
inline xcb_get_property_cookie_t requestList(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
    xcb_atom_t type)
{
    return xcb_get_property(connection, 0, window, property, type, 0, 1 << 16);
}

// The 32-bit items of a property reply of the type asked for; none when it is of another type or
// format. The count is what the reply really holds (its length, in 4-byte units after the 32-byte
// header), whatever value_len claims.
inline std::optional<std::vector<uint32_t>> propertyItems(const xcb_get_property_reply_t& reply, xcb_atom_t type)
{
    if (type == XCB_NONE || reply.type != type || reply.format != 32)
        return std::nullopt;
    auto count = std::min<size_t>(reply.value_len, reply.length);
    auto* items = reinterpret_cast<const uint32_t*>(&reply + 1);
    return std::vector<uint32_t>(items, items + count);
}

// The items of a property asked for with requestList; none when it is missing, of another type,
// not of format 32, or the window has gone.
inline std::optional<std::vector<uint32_t>> takeList(xcb_connection_t* connection, xcb_get_property_cookie_t cookie,
    xcb_atom_t type)
{
    auto reply = takeReply(connection, cookie, &xcb_get_property_reply);
    if (!reply)
        return std::nullopt;
    return propertyItems(*reply, type);
}

// A property that must hold exactly one item (a pid, a desktop number, a window); any other count
// is malformed and reads as missing.
inline std::optional<uint32_t> takeSingle(xcb_connection_t* connection, xcb_get_property_cookie_t cookie,
    xcb_atom_t type)
{
    auto items = takeList(connection, cookie, type);
    if (!items || items->size() != 1)
        return std::nullopt;
    return items->front();
}

// A property that must hold exactly four items (frame extents: left, right, top, bottom).
inline std::optional<std::array<uint32_t, 4>> takeQuad(xcb_connection_t* connection,
    xcb_get_property_cookie_t cookie, xcb_atom_t type)
{
    auto items = takeList(connection, cookie, type);
    if (!items || items->size() != 4)
        return std::nullopt;
    return std::array<uint32_t, 4> { (*items)[0], (*items)[1], (*items)[2], (*items)[3] };
}

}
