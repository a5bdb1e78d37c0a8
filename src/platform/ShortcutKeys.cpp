// Keycode and modifier translation for the shortcuts, from XKB key names and modifier names.
#include "ShortcutKeys.h"

#include <xkbcommon/xkbcommon.h>

namespace tavelin::qt {

namespace {

// XKB key names of the ANSI positions the shortcuts use, with the evdev keycodes Xorg and Xvfb give them.
struct KeyName {
    const char* name;
    uint32_t evdevKeycode;
    uint16_t keyCode;
};
constexpr std::array<KeyName, 5> shortcutKeyNames { {
    { "AC05", 42, KeyEvent::keyG },
    { "AD02", 25, KeyEvent::keyW },
    { "AC09", 46, KeyEvent::keyL },
    { "AC02", 39, KeyEvent::keyS },
    { "AC01", 38, KeyEvent::keyA },
} };

// Flags for the modifiers besides Shift and Super; they never decide a shortcut but are reported.
constexpr uint64_t capsLockFlag = 0x10000;
constexpr uint64_t controlFlag = 0x40000;
constexpr uint64_t alternateFlag = 0x80000;

// Modifier names as xkbcommon calls them, with the real modifier X puts them on by convention.
struct ModifierName {
    const char* name;
    uint32_t coreMask;
    uint64_t flag;
};
constexpr std::array<ModifierName, 5> modifierNames { {
    { XKB_MOD_NAME_SHIFT, 1u << 0, KeyEvent::shiftFlag },
    { XKB_MOD_NAME_CAPS, 1u << 1, capsLockFlag },
    { XKB_MOD_NAME_CTRL, 1u << 2, controlFlag },
    { XKB_MOD_NAME_ALT, 1u << 3, alternateFlag },
    { XKB_MOD_NAME_LOGO, 1u << 6, KeyEvent::commandFlag }, // Super is Mod4
} };

}

ShortcutKeys ShortcutKeys::evdevDefaults()
{
    ShortcutKeys keys;
    for (size_t i = 0; i < shortcutKeyNames.size(); ++i)
        keys.m_keys[i] = { shortcutKeyNames[i].evdevKeycode, shortcutKeyNames[i].keyCode };
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

KeyEvent ShortcutKeys::translate(uint32_t keycode, uint32_t modifierMask) const
{
    KeyEvent event;
    for (auto& modifier : m_modifiers) {
        if (modifier.mask & modifierMask)
            event.modifierFlags |= modifier.flag;
    }
    if (keycode == XKB_KEYCODE_INVALID)
        return event;
    for (auto& key : m_keys) {
        if (key.keycode == keycode) {
            event.keyCode = key.keyCode;
            break;
        }
    }
    return event;
}

}
