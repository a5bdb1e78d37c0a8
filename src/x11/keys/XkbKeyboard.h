// The core keyboard as XKB sees it: its keymap and live modifier state, kept current from XKB events.
#pragma once

#include "x11/keys/ShortcutKeys.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace tavelin::x11::keys {

class XkbKeyboard {
public:
    // Null when the server has no usable XKB or the keymap cannot be read.
    static std::unique_ptr<XkbKeyboard> open(xcb_connection_t* connection);
    ~XkbKeyboard();
    XkbKeyboard(const XkbKeyboard&) = delete;
    XkbKeyboard& operator=(const XkbKeyboard&) = delete;

    // Takes an XKB event (state, map or new-keyboard notify); false for any other event.
    bool handleEvent(const xcb_generic_event_t& event);

    const ShortcutKeys& keys() const { return m_keys; }
    // The effective modifiers now, in the keymap's modifier indices.
    uint32_t modifierMask() const;

    struct Repeat {
        int delayMs;
        int intervalMs;
    };
    // How the server repeats this key when held; none when repeat is off for it (or unknown).
    std::optional<Repeat> repeatFor(uint32_t keycode) const;

private:
    XkbKeyboard(xcb_connection_t* connection, uint8_t baseEvent, int32_t deviceId);
    bool selectEvents();
    bool reload();

    xcb_connection_t* m_connection;
    uint8_t m_baseEvent;
    int32_t m_deviceId;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
    ShortcutKeys m_keys = ShortcutKeys::evdevDefaults();
};

}
