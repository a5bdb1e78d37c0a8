// Screenshots' captures: the screen without the grid (root image) and one window alone (Composite).
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <memory>

namespace tavelin::x11::capture {

class ScreenshotCapture {
public:
    explicit ScreenshotCapture(xcb::X11Connection& x11);
    ~ScreenshotCapture();
    void targetWindowChanged(uint32_t windowId);
    void waitForOverlayGone(core::OverlayWindow& overlay, double minSeconds);
    // Blocks until the menu a row was just chosen from, ours or one the tray's host drew itself,
    // has closed and had the time a compositing manager takes to fade it out.
    void waitForMenusGone();
    core::ImageRef captureScreen(const core::Rect& rect);
    core::ImageRef captureWindow(uint32_t windowId, const core::Rect& rect);
    // Gives back the shared memory kept for the next capture, once no image uses it.
    void releaseMemory();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
