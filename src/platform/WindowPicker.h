// Picking a window by clicking it: a pointer grab on the root with a crosshair cursor.
#pragma once

#include "Platform.h"
#include "X11Connection.h"

#include <functional>
#include <memory>

namespace tavelin::qt {

class WindowPicker {
public:
    explicit WindowPicker(x11::X11Connection& x11);
    ~WindowPicker();
    MonitorToken addClickMonitor(std::function<void()> onClick, std::function<void()> onFailed);
    bool remove(MonitorToken token);
    void pushCrosshairCursor();
    void popCursor();
    std::optional<Point> pointerLocation() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
