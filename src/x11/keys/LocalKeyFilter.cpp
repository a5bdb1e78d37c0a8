// An application-wide event filter that hands every key press of our own windows to the shortcut route.
#include "x11/keys/LocalKeyFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <cassert>

namespace tavelin::x11::keys {

LocalKeyFilter::LocalKeyFilter(Handler handler)
    : m_handler(std::move(handler))
{
    assert(m_handler);
    assert(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(this);
}

LocalKeyFilter::~LocalKeyFilter()
{
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

// On xcb, a key event's native scan code is the X keycode, its native modifiers the core state mask
// of the KeyPress, and its timestamp the server time.
bool LocalKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    constexpr uint32_t coreModifierBits = 0xff; // The group bits above do not concern shortcuts.
    return m_handler(static_cast<uint32_t>(key->timestamp()), key->nativeScanCode(), key->nativeModifiers() & coreModifierBits);
}

}
