// Timer-driven repeat of the last shortcut key held down, at the server's own delay and interval.
#include "x11/keys/RawKeyRepeat.h"

#include <cassert>

namespace tavelin::x11::keys {

RawKeyRepeat::RawKeyRepeat(std::function<void(uint32_t)> fire)
    : m_fire(std::move(fire))
{
    assert(m_fire);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void RawKeyRepeat::start(uint32_t keycode, int delayMs, int intervalMs)
{
    assert(keycode != 0 && intervalMs > 0);
    m_keycode = keycode;
    m_intervalMs = intervalMs;
    m_timer.start(delayMs);
}

void RawKeyRepeat::keyReleased(uint32_t keycode)
{
    if (keycode == m_keycode)
        stop();
}

void RawKeyRepeat::stop()
{
    m_timer.stop();
    m_keycode = 0;
}

void RawKeyRepeat::tick()
{
    if (!m_keycode)
        return;
    // Re-armed before firing: the handler may stop the repeat.
    m_timer.start(m_intervalMs);
    m_fire(m_keycode);
}

}
