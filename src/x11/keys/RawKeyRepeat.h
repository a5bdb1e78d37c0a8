// Auto-repeat of a held shortcut key for the raw route, whose events the server never repeats.
#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

namespace tavelin::x11::keys {

// A held shortcut repeats like any key in the application that has the keyboard, so the raw route
// makes its own repeats at the server's delay and interval.
class RawKeyRepeat {
public:
    // fire is called with the held keycode at each repeat.
    explicit RawKeyRepeat(std::function<void(uint32_t keycode)> fire);

    // Starts repeating keycode after delayMs, every intervalMs, until it is released or another key
    // is pressed (the server repeats only the last key pressed).
    void start(uint32_t keycode, int delayMs, int intervalMs);
    void keyReleased(uint32_t keycode);
    void stop();

private:
    void tick();

    std::function<void(uint32_t)> m_fire;
    QTimer m_timer;
    uint32_t m_keycode = 0;
    int m_intervalMs = 0;
};

}
