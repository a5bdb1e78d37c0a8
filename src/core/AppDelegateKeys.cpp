// The five shortcuts: Super+Shift with G, W, L, S or A, matched by physical key.
#include "core/AppDelegate.h"

namespace tavelin::core {

void AppDelegate::setupShortcuts()
{
    std::weak_ptr<bool> alive = m_alive;
    m_desktopKeys = m_platform.watchDesktopKeys([this, alive](const KeyEvent& event) {
        if (alive.lock())
            handleKeyEvent(event);
    });
    m_ownKeys = m_platform.watchOwnKeys([this, alive](const KeyEvent& event) {
        return alive.lock() && handleKeyEvent(event);
    });
}

bool AppDelegate::handleKeyEvent(const KeyEvent& event)
{
    constexpr uint32_t required = modifiers::shift | modifiers::super;
    if ((event.modifiers & required) != required || event.key == ShortcutKey::none)
        return false;
    // Never run a command inside the key handler: it runs on a later turn of the event loop.
    std::weak_ptr<bool> alive = m_alive;
    m_platform.post([this, alive, key = event.key] {
        if (alive.lock())
            runShortcut(key);
    });
    return true;
}

void AppDelegate::runShortcut(ShortcutKey key)
{
    switch (key) {
    case ShortcutKey::g: return toggleGrid();
    case ShortcutKey::w: return startWindowSelection();
    case ShortcutKey::l: return toggleCellLabels();
    case ShortcutKey::s: return takeScreenshot();
    case ShortcutKey::a: return toggleAdjustMode();
    case ShortcutKey::none: return;
    }
}

}
