// The platform's grab of the next click on Wayland: one pending pick at a time, its catcher kept
// until the button is up again, its end told on the event loop.
#pragma once

#include "core/Platform.h"
#include "wayland/windows/ClickCatcher.h"

#include <QObject>

#include <functional>
#include <memory>

namespace tavelin::wayland::windows {

class Picker {
public:
    explicit Picker(wl::WaylandConnection& connection);
    ~Picker();
    // onClick: the press in global points. onFailed: the compositor took the catcher away first.
    // 0 when there is no output to catch the click on.
    core::WatchId start(core::WatchId id, std::function<void(core::Point)> onClick, std::function<void()> onFailed);
    // Ends the pick with that id, if it still waits for its press; false when it is no pick of ours.
    bool stop(core::WatchId id);

private:
    void retire();

    wl::WaylandConnection& m_connection;
    core::WatchId m_pending = 0;
    std::function<void(core::Point)> m_onClick;
    std::function<void()> m_onFailed;
    std::unique_ptr<ClickCatcher> m_catcher;
    QObject m_context; // queued work dies with the picker
};

}
