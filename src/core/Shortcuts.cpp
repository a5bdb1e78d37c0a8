// Hearing the shortcuts and queueing their commands.
#include "core/Shortcuts.h"

namespace tavelin::core {

Shortcuts::~Shortcuts()
{
    if (m_desktopKeys)
        m_platform.stopWatching(m_desktopKeys);
    if (m_ownKeys)
        m_platform.stopWatching(m_ownKeys);
}

void Shortcuts::watch()
{
    m_desktopKeys = m_platform.watchDesktopKeys(m_life.guard([this](const KeyEvent& event) { handleKeyEvent(event); }));
    m_ownKeys = m_platform.watchOwnKeys(m_life.guard([this](const KeyEvent& event) { return handleKeyEvent(event); }));
}

bool Shortcuts::handleKeyEvent(const KeyEvent& event)
{
    constexpr uint32_t required = modifiers::shift | modifiers::super;
    if ((event.modifiers & required) != required || event.key == ShortcutKey::none)
        return false;
    // Never run a command inside the key handler: it runs on a later turn of the event loop.
    m_platform.post(m_life.guard([this, key = event.key] { m_run(key); }));
    return true;
}

}
