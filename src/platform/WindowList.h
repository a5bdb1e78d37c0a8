// Other applications' windows, read from EWMH properties over xcb.
#pragma once

#include "Platform.h"
#include "X11Connection.h"

#include <memory>

namespace tavelin::x11 {
struct EwmhAtoms;
}

namespace tavelin::qt {

class WindowList {
public:
    explicit WindowList(x11::X11Connection& x11);
    ~WindowList();
    // Viewable, not hidden, on the current desktop, no desktop elements; frontmost first.
    std::vector<WindowRecord> onScreenWindows();
    // The one client window, whether on screen or not; empty once it is gone or withdrawn.
    std::vector<WindowRecord> windowInfo(uint32_t number);

private:
    struct RootFacts;
    RootFacts readRoot();
    std::vector<WindowRecord> managedWindows(const RootFacts& root);
    std::vector<WindowRecord> unmanagedWindows();

    x11::X11Connection& m_x11;
    std::unique_ptr<x11::EwmhAtoms> m_atoms;
};

}
