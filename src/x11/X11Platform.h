// The X11 desktop: Qt 6 for windows, tray, painting and clipboard; xcb for what Qt does not reach.
#pragma once

#include "shared/platform/QtPlatform.h"
#include "x11/xcb/X11Connection.h"

#include <memory>

namespace tavelin::x11::keys {
class KeyMonitor;
}
namespace tavelin::x11::windows {
class WindowList;
class WindowPicker;
class BoundsWatch;
}
namespace tavelin::x11::capture {
class ScreenshotCapture;
}
namespace tavelin::x11::overlay {
class CompositorWatch;
}
namespace tavelin::x11::screens {
class RandrScreens;
}

namespace tavelin::x11 {

class X11Platform final : public shared::platform::QtPlatform {
public:
    X11Platform();
    ~X11Platform() override;

    std::optional<core::Rect> primaryScreenFrame() const override;
    std::vector<core::ScreenInfo> screens() const override;
    void watchScreens(std::function<void()> changed) override;
    double deviceScale() const override;

    std::unique_ptr<core::OverlayWindow> createOverlayWindow(const core::Rect& frame, core::TavelinView& view) override;
    std::unique_ptr<core::FlashWindow> createFlashWindow(const core::Rect& frame) override;

    core::WatchId watchDesktopKeys(std::function<void(const core::KeyEvent&)> handler) override;
    core::WatchId watchOwnKeys(std::function<bool(const core::KeyEvent&)> handler) override;
    core::WatchId grabNextClick(std::function<void(core::Point)> onClick, std::function<void()> onFailed) override;
    void stopWatching(core::WatchId) override;

    std::vector<core::WindowRecord> visibleWindows() override;
    std::optional<core::WindowRecord> windowRecord(uint32_t id) override;
    bool isOwnWindow(uint32_t windowId) const override;
    void targetWindowChanged(uint32_t windowId) override;
    core::WatchId watchWindowBounds(uint32_t windowId, std::function<void()> changed) override;

    void waitForOverlayGone(core::OverlayWindow& overlay, double minSeconds) override;
    void waitForMenuGone() override;
    core::ImageRef captureScreen(const core::Rect& rect) override;
    core::ImageRef captureWindow(uint32_t windowId, const core::Rect& rect) override;
    core::ImageRef renderOverlay(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight) override;

protected:
    void releaseShotMemory() override;
    bool hasXEmbedTray() override;

private:
    std::vector<core::Rect> screenFrames() const;

    xcb::X11Connection m_x11;
    std::unique_ptr<screens::RandrScreens> m_screens;
    std::unique_ptr<keys::KeyMonitor> m_keys;
    std::unique_ptr<windows::WindowList> m_windowList;
    std::unique_ptr<windows::WindowPicker> m_picker;
    std::unique_ptr<windows::BoundsWatch> m_boundsWatch;
    std::unique_ptr<capture::ScreenshotCapture> m_captures;
    std::unique_ptr<overlay::CompositorWatch> m_compositor;
};

}
