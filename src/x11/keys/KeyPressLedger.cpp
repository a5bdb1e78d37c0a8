// The recent-press ledger behind "one key press runs its command once".
#include "x11/keys/KeyPressLedger.h"

namespace tavelin::x11::keys {

bool KeyPressLedger::claim(uint32_t time, uint32_t keycode)
{
    // Keycode 0 does not exist in X, so an empty slot never matches a real press.
    for (auto& entry : m_entries) {
        if (entry.keycode == keycode && entry.time == time)
            return false;
    }
    m_entries[m_next] = { time, keycode };
    m_next = (m_next + 1) % capacity;
    return true;
}

}
