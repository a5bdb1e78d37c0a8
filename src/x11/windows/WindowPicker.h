// Picking a window by clicking it: a pointer grab on the root with a crosshair cursor.
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <functional>
#include <memory>

namespace tavelin::x11::windows {

class WindowPicker {
public:
    explicit WindowPicker(xcb::X11Connection& x11);
    ~WindowPicker();
    // onClick gets the press's position on the root, in points.
    core::WatchId addClickMonitor(std::function<void(core::Point)> onClick, std::function<void()> onFailed);
    bool remove(core::WatchId token);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
