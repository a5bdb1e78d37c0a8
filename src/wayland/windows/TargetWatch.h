// Telling the core when the window it follows may have changed: on each of the compositor's reports
// and, where the compositor reports no moves (sway says nothing of a floating window moved or
// resized), on a look at the window every display frame that finds it changed.
#pragma once

#include "core/Platform.h"
#include "wayland/windows/WindowSource.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace tavelin::wayland::windows {

class TargetWatch {
public:
    explicit TargetWatch(WindowSource& source);
    // One watch at a time; changed runs once right after it starts, as the core expects.
    void start(core::WatchId id, uint32_t window, std::function<void()> changed);
    // False when id is not the watch running.
    bool stop(core::WatchId id);

private:
    void tell();
    void look();

    WindowSource& m_source;
    core::WatchId m_id = 0;
    uint32_t m_window = 0;
    std::function<void()> m_changed;
    std::optional<Window> m_last;
    QTimer m_frames;
    QObject m_context; // queued work dies with the watch
};

}
