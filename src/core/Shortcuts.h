// The five shortcuts: Super+Shift with G, W, L, S or A, matched by physical key.
#pragma once

#include "core/Lifeline.h"
#include "core/Platform.h"

#include <functional>

namespace tavelin::core {

class Shortcuts {
public:
    using Handler = std::function<void(ShortcutKey)>;
    Shortcuts(Platform& platform, Handler run)
        : m_platform(platform)
        , m_run(std::move(run))
    {
    }
    ~Shortcuts();
    Shortcuts(const Shortcuts&) = delete;
    Shortcuts& operator=(const Shortcuts&) = delete;

    // Listens on the whole desktop and in our own windows (where the desktop watch cannot hear).
    void watch();
    // The decision: true when the key is one of the five (its command is then queued).
    bool handleKeyEvent(const KeyEvent& event);

private:
    Platform& m_platform;
    Handler m_run;
    WatchId m_desktopKeys = 0;
    WatchId m_ownKeys = 0;
    Lifeline m_life;
};

}
