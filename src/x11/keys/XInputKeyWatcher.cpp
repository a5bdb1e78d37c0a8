// XInput2 raw key presses on the root window, on a connection of their own, with XKB modifier state.
#include "x11/keys/XInputKeyWatcher.h"

#include "x11/xcb/XcbReplies.h"
#include "x11/keys/RawKeyRepeat.h"
#include "x11/keys/XkbKeyboard.h"

#include <QSocketNotifier>

#include <xcb/xinput.h>

#include <cassert>
#include <cstdlib>

namespace tavelin::x11::keys {

namespace {

// XI 2.1 is the first version that sends raw events to every client that selects them on the root,
// not only to the one holding a grab.
bool hasXInput21(xcb_connection_t* connection)
{
    auto* extension = xcb_get_extension_data(connection, &xcb_input_id);
    if (!extension || !extension->present)
        return false;
    auto version = xcb::takeReply(connection, xcb_input_xi_query_version(connection, 2, 2), xcb_input_xi_query_version_reply);
    return version && (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 1));
}

}

std::unique_ptr<XInputKeyWatcher> XInputKeyWatcher::start(Handler handler)
{
    assert(handler);
    auto* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) || !hasXInput21(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<XInputKeyWatcher> watcher(new XInputKeyWatcher(connection, std::move(handler)));
    watcher->m_keyboard = XkbKeyboard::open(connection);
    if (!watcher->m_keyboard || !watcher->selectRawKeys())
        return nullptr;
    watcher->m_repeat = std::make_unique<RawKeyRepeat>([w = watcher.get()](uint32_t keycode) { w->handleRepeat(keycode); });
    watcher->m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    QObject::connect(watcher->m_notifier.get(), &QSocketNotifier::activated, [w = watcher.get()] { w->readEvents(); });
    // The set-up round trips may already have queued events the socket will not announce again.
    watcher->readEvents();
    return watcher;
}

XInputKeyWatcher::XInputKeyWatcher(xcb_connection_t* connection, Handler handler)
    : m_connection(connection)
    , m_handler(std::move(handler))
{
    auto* extension = xcb_get_extension_data(connection, &xcb_input_id);
    m_xinputOpcode = extension ? extension->major_opcode : 0;
}

XInputKeyWatcher::~XInputKeyWatcher()
{
    m_notifier.reset();
    m_repeat.reset();
    m_keyboard.reset();
    xcb_disconnect(m_connection);
}

const ShortcutKeys& XInputKeyWatcher::keys() const
{
    assert(m_keyboard);
    return m_keyboard->keys();
}

// XISelectEvents on the root for all master devices: one raw event per press or release, whichever
// slave made it. Raw events never grab, so the focused client still gets its key.
bool XInputKeyWatcher::selectRawKeys()
{
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    if (!screen)
        return false;
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } selection { { XCB_INPUT_DEVICE_ALL_MASTER, 1 },
        XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE };
    auto cookie = xcb_input_xi_select_events_checked(m_connection, screen->root, 1, &selection.head);
    auto* error = xcb_request_check(m_connection, cookie);
    std::free(error);
    return error == nullptr;
}

// Drains everything xcb has, read or queued: handling an event may itself queue more (keymap reloads).
void XInputKeyWatcher::readEvents()
{
    while (auto* event = xcb_poll_for_event(m_connection)) {
        handleEvent(*event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false); // The server is gone; Qt's own connection will end the program.
}

void XInputKeyWatcher::handleEvent(const xcb_generic_event_t& event)
{
    if (m_keyboard->handleEvent(event))
        return;
    if ((event.response_type & 0x7f) != XCB_GE_GENERIC)
        return;
    auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != m_xinputOpcode)
        return;
    if (generic.event_type != XCB_INPUT_RAW_KEY_PRESS && generic.event_type != XCB_INPUT_RAW_KEY_RELEASE)
        return;
    auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
    handleRawKey(generic.event_type == XCB_INPUT_RAW_KEY_PRESS, raw.time, raw.detail);
}

void XInputKeyWatcher::handleRawKey(bool pressed, uint32_t time, uint32_t keycode)
{
    if (!pressed) {
        m_repeat->keyReleased(keycode);
        return;
    }
    // The modifiers in force are those the XKB state notifies have reported up to this press.
    KeyPress press { time, keycode, m_keyboard->keys().translate(keycode, m_keyboard->modifierMask()) };
    // Only the shortcut keys are worth repeating; any other press ends a repeat, as in the server.
    auto repeat = press.event.key != core::ShortcutKey::none ? m_keyboard->repeatFor(keycode) : std::nullopt;
    if (repeat)
        m_repeat->start(keycode, repeat->delayMs, repeat->intervalMs);
    else
        m_repeat->stop();
    m_handler(press);
}

// A repeat carries the modifiers held now: letting go of Shift ends the shortcut, not the key.
void XInputKeyWatcher::handleRepeat(uint32_t keycode)
{
    KeyPress press { 0, keycode, m_keyboard->keys().translate(keycode, m_keyboard->modifierMask()), true };
    m_handler(press);
}

}
