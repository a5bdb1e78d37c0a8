// Turns an X keycode and modifier mask into the physical key code and modifier flags shortcuts match on.
#pragma once

#include "core/Platform.h"

#include <array>
#include <cstdint>

struct xkb_keymap;

namespace tavelin::x11::keys {

// A snapshot of where the five shortcut keys and the modifiers sit in one keymap.
// Keys are found by XKB key name (a physical position), never by the symbol they type,
// so a shortcut stays on the same key whatever the layout.
class ShortcutKeys {
public:
    // The keycodes of the evdev keycode set, for when the server's keymap cannot be read.
    static ShortcutKeys evdevDefaults();
    // Reads the keymap; a key name it lacks leaves that shortcut unreachable.
    static ShortcutKeys fromKeymap(xkb_keymap* keymap);

    // modifierMask uses the keymap's modifier indices; for the eight real modifiers that is the
    // X core state mask (Shift 1<<0 ... Mod5 1<<7).
    core::KeyEvent translate(uint32_t keycode, uint32_t modifierMask) const;

private:
    struct Binding {
        uint32_t keycode;
        core::ShortcutKey key;
    };
    struct Modifier {
        uint32_t mask;
        uint32_t flag;
    };

    std::array<Binding, 5> m_keys {};
    std::array<Modifier, 5> m_modifiers {};
};

}
