// Shortcut keys observed on the whole desktop without grabbing, and on our own windows.
#pragma once

#include "core/Platform.h"

#include <functional>
#include <memory>

namespace tavelin::x11::keys {

// Two routes see key presses: the desktop-wide one (XInput2 raw events, never grabbing) and the
// one through our own windows (an open tray menu holds the keyboard). A press both may see is known
// by its server time and keycode and reaches the handlers of one route only: the local route's while
// one of our windows has the keyboard, the global route's otherwise.
class KeyMonitor {
public:
    KeyMonitor();
    ~KeyMonitor();
    // 0 when the server cannot report keys desktop-wide (no XInput 2.1 or no XKB).
    core::WatchId addGlobal(std::function<void(const core::KeyEvent&)> handler);
    // The handler returns true to swallow the key.
    core::WatchId addLocal(std::function<bool(const core::KeyEvent&)> handler);
    // False when the token is not one of ours.
    bool remove(core::WatchId token);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
