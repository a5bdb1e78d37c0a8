// The window source on sway (and other i3 IPC compositors): get_tree for the list, window and
// workspace events for the reports.
#pragma once

#include "wayland/windows/I3Ipc.h"
#include "wayland/windows/WindowSource.h"

#include <memory>

namespace tavelin::wayland::windows {

class SwayWindows final : public WindowSource {
public:
    explicit SwayWindows(QString socketPath);
    std::vector<Window> windows() override;
    void watch(std::function<void()> changed) override;
    // Its window events tell of no floating window moved or resized.
    bool reportsMoves() const override { return false; }

private:
    QString m_socketPath;
    std::unique_ptr<I3Connection> m_requests;
    std::unique_ptr<I3Connection> m_events;
};

}
