// XKB keymap and modifier state through xkbcommon-x11, following the server's notify events.
#include "x11/keys/XkbKeyboard.h"

#include "x11/xcb/XcbReplies.h"
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

// xkb.h names a struct member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tavelin::x11::keys {

namespace {

// Every XKB event shares this head; xkbType tells which one it is.
union XkbEvent {
    struct {
        uint8_t response_type;
        uint8_t xkbType;
        uint16_t sequence;
        xcb_timestamp_t time;
        uint8_t deviceID;
    } any;
    xcb_xkb_new_keyboard_notify_event_t newKeyboard;
    xcb_xkb_map_notify_event_t map;
    xcb_xkb_state_notify_event_t state;
};

// xkbcommon's own messages go to stderr as usual, except once the connection has broken: then every
// request it makes fails and says so, while the application reports the one cause in its own line.
void logUnlessDisconnected(xkb_context* context, xkb_log_level, const char* format, va_list arguments)
{
    auto* connection = static_cast<xcb_connection_t*>(xkb_context_get_user_data(context));
    if (connection && xcb_connection_has_error(connection))
        return;
    std::fputs("xkbcommon: ", stderr);
    std::vfprintf(stderr, format, arguments);
}

}

// XKB protocol: XkbUseExtension must come first, or the server ignores the client's XKB requests.
std::unique_ptr<XkbKeyboard> XkbKeyboard::open(xcb_connection_t* connection)
{
    uint8_t baseEvent = 0;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &baseEvent, nullptr))
        return nullptr;
    auto deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    if (deviceId < 0)
        return nullptr;
    std::unique_ptr<XkbKeyboard> keyboard(new XkbKeyboard(connection, baseEvent, deviceId));
    if (!keyboard->m_context || !keyboard->selectEvents() || !keyboard->reload())
        return nullptr;
    return keyboard;
}

XkbKeyboard::XkbKeyboard(xcb_connection_t* connection, uint8_t baseEvent, int32_t deviceId)
    : m_connection(connection)
    , m_baseEvent(baseEvent)
    , m_deviceId(deviceId)
    , m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (m_context) {
        xkb_context_set_user_data(m_context, connection);
        xkb_context_set_log_fn(m_context, logUnlessDisconnected);
    }
}

XkbKeyboard::~XkbKeyboard()
{
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

// XkbSelectEvents on the core keyboard: new keyboards and keymap changes (to reload), and every
// change of modifiers and group (state notify arrives before the next key press is reported).
bool XkbKeyboard::selectEvents()
{
    constexpr uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY
        | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr uint16_t newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    constexpr uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS
        | XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS
        | XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    constexpr uint16_t stateDetails = XCB_XKB_STATE_PART_MODIFIER_BASE | XCB_XKB_STATE_PART_MODIFIER_LATCH
        | XCB_XKB_STATE_PART_MODIFIER_LOCK | XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH
        | XCB_XKB_STATE_PART_GROUP_LOCK;
    xcb_xkb_select_events_details_t details {};
    details.affectNewKeyboard = newKeyboardDetails;
    details.newKeyboardDetails = newKeyboardDetails;
    details.affectState = stateDetails;
    details.stateDetails = stateDetails;
    auto cookie = xcb_xkb_select_events_aux_checked(m_connection, static_cast<xcb_xkb_device_spec_t>(m_deviceId),
        events, 0, 0, mapParts, mapParts, &details);
    auto* error = xcb_request_check(m_connection, cookie);
    std::free(error);
    return error == nullptr;
}

// Reads keymap and state afresh; on failure the previous ones stay.
bool XkbKeyboard::reload()
{
    auto* keymap = xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    auto* state = xkb_x11_state_new_from_device(keymap, m_connection, m_deviceId);
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_state = state;
    m_keys = ShortcutKeys::fromKeymap(m_keymap);
    return true;
}

bool XkbKeyboard::handleEvent(const xcb_generic_event_t& generic)
{
    if ((generic.response_type & 0x7f) != m_baseEvent)
        return false;
    auto& event = reinterpret_cast<const XkbEvent&>(generic);
    if (event.any.deviceID != m_deviceId)
        return true;
    switch (event.any.xkbType) {
    case XCB_XKB_NEW_KEYBOARD_NOTIFY:
        // Only a change of keycodes needs a new keymap; the device switches of one keyboard do not.
        if (event.newKeyboard.changed & XCB_XKB_NKN_DETAIL_KEYCODES)
            reload();
        break;
    case XCB_XKB_MAP_NOTIFY:
        reload();
        break;
    case XCB_XKB_STATE_NOTIFY:
        assert(m_state);
        xkb_state_update_mask(m_state, event.state.baseMods, event.state.latchedMods, event.state.lockedMods,
            static_cast<xkb_layout_index_t>(event.state.baseGroup), static_cast<xkb_layout_index_t>(event.state.latchedGroup),
            event.state.lockedGroup);
        break;
    default:
        break;
    }
    return true;
}

// XkbGetControls: the RepeatKeys control, its delay and interval, and the per-key repeat bits.
std::optional<XkbKeyboard::Repeat> XkbKeyboard::repeatFor(uint32_t keycode) const
{
    auto controls = xcb::takeReply(m_connection,
        xcb_xkb_get_controls(m_connection, static_cast<xcb_xkb_device_spec_t>(m_deviceId)), xcb_xkb_get_controls_reply);
    if (!controls || !(controls->enabledControls & XCB_XKB_BOOL_CTRL_REPEAT_KEYS) || keycode > 255)
        return std::nullopt;
    if (!(controls->perKeyRepeat[keycode / 8] & (1u << (keycode % 8))))
        return std::nullopt;
    if (controls->repeatInterval == 0)
        return std::nullopt;
    return Repeat { controls->repeatDelay, controls->repeatInterval };
}

uint32_t XkbKeyboard::modifierMask() const
{
    assert(m_state);
    return xkb_state_serialize_mods(m_state, XKB_STATE_MODS_EFFECTIVE);
}

}
