// The Wayland desktop on layer-shell compositors: a wayland-client connection of our own for the
// overlay and outputs; Qt (on a platform without windows) for the event loop, tray, images, clipboard.
#pragma once

#include "shared/platform/QtPlatform.h"
#include "wayland/wl/WaylandConnection.h"

#include <memory>

namespace tavelin::wayland {

namespace clipboard {
class DataControl;
}
namespace windows {
class Picker;
class TargetWatch;
class WindowSource;
}
namespace shortcuts {
class PortalShortcuts;
}

class WaylandPlatform final : public shared::platform::QtPlatform {
public:
    // connection: usable, taken over.
    explicit WaylandPlatform(std::unique_ptr<wl::WaylandConnection> connection);
    ~WaylandPlatform() override;

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
    core::ImageRef captureScreen(const core::Rect& rect) override;
    core::ImageRef captureWindow(uint32_t windowId, const core::Rect& rect) override;
    bool windowCaptureShowsOverlay() const override { return true; }
    core::ImageRef renderOverlay(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight) override;
    void setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>& png) override;

private:
    std::unique_ptr<wl::WaylandConnection> m_connection;
    std::unique_ptr<clipboard::DataControl> m_clipboard;
    // Other clients' windows, from the compositor's own interface; none where it offers none.
    std::unique_ptr<windows::WindowSource> m_windows;
    std::unique_ptr<windows::Picker> m_picker;
    std::unique_ptr<windows::TargetWatch> m_targetWatch;
    core::WatchId m_nextWatch = 1;
    std::unique_ptr<shortcuts::PortalShortcuts> m_shortcuts;
    core::WatchId m_shortcutsWatch = 0;
    bool m_portalCapture = false; // no screencopy here, or TAVELIN_WAYLAND_CAPTURE=portal
};

}
