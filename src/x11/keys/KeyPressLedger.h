// Remembers which key presses have been taken, so a press seen by both key routes runs once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavelin::x11::keys {

// A press is known by its server time and keycode, which the raw event and the core KeyPress
// of the same press share. Only the last few presses are kept: the two sightings of one press
// arrive close together.
class KeyPressLedger {
public:
    // True the first time a press is offered; false when it was already taken (by either route).
    bool claim(uint32_t time, uint32_t keycode);

private:
    struct Entry {
        uint32_t time = 0;
        uint32_t keycode = 0;
    };
    static constexpr size_t capacity = 64;
    std::array<Entry, capacity> m_entries {};
    size_t m_next = 0;
};

}
