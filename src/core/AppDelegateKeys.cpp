// The five shortcuts: Super+Shift with G, W, L, S or A, matched by physical key.
#include "AppDelegate.h"

namespace tavelin {

void AppDelegate::setupKeyMonitors()
{
    std::weak_ptr<bool> alive = m_alive;
    m_globalMonitor = m_platform.addGlobalKeyMonitor([this, alive](const KeyEvent& event) {
        if (alive.lock())
            handleKeyEvent(event);
    });
    m_localMonitor = m_platform.addLocalKeyMonitor([this, alive](const KeyEvent& event) {
        return alive.lock() && handleKeyEvent(event);
    });
}

bool AppDelegate::handleKeyEvent(const KeyEvent& event)
{
    constexpr uint64_t required = KeyEvent::shiftFlag | KeyEvent::commandFlag;
    if ((event.modifierFlags & required) != required)
        return false;
    switch (event.keyCode) {
    case KeyEvent::keyG:
    case KeyEvent::keyW:
    case KeyEvent::keyL:
    case KeyEvent::keyS:
    case KeyEvent::keyA:
        break;
    default:
        return false;
    }
    // Never run a command inside the monitor: it runs on a later turn of the event loop.
    std::weak_ptr<bool> alive = m_alive;
    m_platform.post([this, alive, code = event.keyCode] {
        if (alive.lock())
            runShortcut(code);
    });
    return true;
}

void AppDelegate::runShortcut(uint16_t keyCode)
{
    switch (keyCode) {
    case KeyEvent::keyG: return toggleGrid();
    case KeyEvent::keyW: return startWindowSelection();
    case KeyEvent::keyL: return toggleCellLabels();
    case KeyEvent::keyS: return takeScreenshot();
    case KeyEvent::keyA: return toggleAdjustMode();
    default: return;
    }
}

}
