// Keycode and modifier translation for the shortcuts, from XKB key names and modifier names.
#include "x11/keys/ShortcutKeys.h"

#include <xkbcommon/xkbcommon.h>

namespace tavelin::x11::keys {

namespace {

// XKB key names of the ANSI positions the shortcuts use, with the evdev keycodes Xorg and Xvfb give them.
struct KeyName {
    const char* name;
    uint32_t evdevKeycode;
    core::ShortcutKey key;
};
constexpr std::array<KeyName, 5> shortcutKeyNames { {
    { "AC05", 42, core::ShortcutKey::g },
    { "AD02", 25, core::ShortcutKey::w },
    { "AC09", 46, core::ShortcutKey::l },
    { "AC02", 39, core::ShortcutKey::s },
    { "AC01", 38, core::ShortcutKey::a },
} };

// Modifier names as xkbcommon calls them, with the real modifier X puts them on by convention.
struct ModifierName {
    const char* name;
    uint32_t coreMask;
    uint32_t flag;
};
constexpr std::array<ModifierName, 5> modifierNames { {
    { XKB_MOD_NAME_SHIFT, 1u << 0, core::modifiers::shift },
    { XKB_MOD_NAME_CAPS, 1u << 1, core::modifiers::capsLock },
    { XKB_MOD_NAME_CTRL, 1u << 2, core::modifiers::control },
    { XKB_MOD_NAME_ALT, 1u << 3, core::modifiers::alt },
    { XKB_MOD_NAME_LOGO, 1u << 6, core::modifiers::super }, // Super is Mod4
} };

}

ShortcutKeys ShortcutKeys::evdevDefaults()
{
    ShortcutKeys keys;
    for (size_t i = 0; i < shortcutKeyNames.size(); ++i)
        keys.m_keys[i] = { shortcutKeyNames[i].evdevKeycode, shortcutKeyNames[i].key };
    for (size_t i = 0; i < modifierNames.size(); ++i)
        keys.m_modifiers[i] = { modifierNames[i].coreMask, modifierNames[i].flag };
    return keys;
}

ShortcutKeys ShortcutKeys::fromKeymap(xkb_keymap* keymap)
{
    auto keys = evdevDefaults();
    if (!keymap)
        return keys;
    for (size_t i = 0; i < shortcutKeyNames.size(); ++i)
        keys.m_keys[i].keycode = xkb_keymap_key_by_name(keymap, shortcutKeyNames[i].name); // XKB_KEYCODE_INVALID if absent
    for (size_t i = 0; i < modifierNames.size(); ++i) {
        auto index = xkb_keymap_mod_get_index(keymap, modifierNames[i].name);
        keys.m_modifiers[i].mask = (index == XKB_MOD_INVALID || index >= 32) ? 0 : (1u << index);
    }
    return keys;
}

core::KeyEvent ShortcutKeys::translate(uint32_t keycode, uint32_t modifierMask) const
{
    core::KeyEvent event;
    for (auto& modifier : m_modifiers) {
        if (modifier.mask & modifierMask)
            event.modifiers |= modifier.flag;
    }
    if (keycode == XKB_KEYCODE_INVALID)
        return event;
    for (auto& key : m_keys) {
        if (key.keycode == keycode) {
            event.key = key.key;
            break;
        }
    }
    return event;
}

}
