// Key-downs anywhere on the desktop, observed through XInput2 raw events without grabbing any key.
#pragma once

#include "x11/keys/ShortcutKeys.h"

#include <xcb/xcb.h>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tavelin::x11::keys {

class RawKeyRepeat;
class XkbKeyboard;

// One physical key press as the server reported it; the same press delivered to one of our windows
// carries the same server time and keycode.
struct KeyPress {
    uint32_t time = 0;
    uint32_t keycode = 0;
    core::KeyEvent event;
    // A repeat of a held key, made here rather than by the server; it has no server time.
    bool isRepeat = false;
};

// Runs on its own xcb connection, read on the main thread whenever its socket has data.
class XInputKeyWatcher {
public:
    using Handler = std::function<void(const KeyPress&)>;

    // Null when the server lacks XInput 2.1 (raw events to every client) or XKB.
    static std::unique_ptr<XInputKeyWatcher> start(Handler handler);
    ~XInputKeyWatcher();
    XInputKeyWatcher(const XInputKeyWatcher&) = delete;
    XInputKeyWatcher& operator=(const XInputKeyWatcher&) = delete;

    // Where the shortcut keys sit in the current keymap (our own windows' keys translate the same way).
    const ShortcutKeys& keys() const;

private:
    XInputKeyWatcher(xcb_connection_t* connection, Handler handler);
    bool selectRawKeys();
    void readEvents();
    void handleEvent(const xcb_generic_event_t& event);
    void handleRawKey(bool pressed, uint32_t time, uint32_t keycode);
    void handleRepeat(uint32_t keycode);

    xcb_connection_t* m_connection;
    Handler m_handler;
    uint8_t m_xinputOpcode = 0;
    std::unique_ptr<XkbKeyboard> m_keyboard;
    std::unique_ptr<RawKeyRepeat> m_repeat;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}
