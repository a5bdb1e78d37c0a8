// Other applications' windows, read from EWMH properties over xcb.
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <memory>
#include <span>

namespace tavelin::x11::windows {
struct EwmhAtoms;
}

namespace tavelin::x11::windows {

// The part of a window's bounds on the screens it lies on (their bounding box): a grid or a capture
// never grows past what the screens show. A window on none keeps its place, no larger than them all.
core::Rect onScreens(const core::Rect& bounds, std::span<const core::Rect> screens);

class WindowList {
public:
    explicit WindowList(xcb::X11Connection& x11);
    ~WindowList();
    // Viewable, not hidden, on the current desktop, no desktop elements; frontmost first.
    std::vector<core::WindowRecord> visibleWindows();
    // The one client window, whether on screen or not; empty once it is gone or withdrawn.
    std::optional<core::WindowRecord> windowRecord(uint32_t windowId);

private:
    struct RootFacts;
    RootFacts readRoot();
    std::vector<core::WindowRecord> managedWindows(const RootFacts& root);
    std::vector<core::WindowRecord> unmanagedWindows();

    xcb::X11Connection& m_x11;
    std::unique_ptr<windows::EwmhAtoms> m_atoms;
};

}
