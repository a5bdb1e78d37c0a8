// The Wayland desktop on layer-shell compositors: a wayland-client connection of our own for the
// overlay and outputs; Qt (on a platform without windows) for the event loop, tray, images, clipboard.
#pragma once

#include "core/Platform.h"
#include "wayland/wl/WaylandConnection.h"

#include <map>
#include <memory>

class QObject;
class QTimer;

namespace tavelin::shared::tray {
class Tray;
}

namespace tavelin::wayland {

namespace overlay {
class LayerOverlay;
}

class WaylandPlatform final : public core::Platform {
public:
    // connection: usable, taken over.
    explicit WaylandPlatform(std::unique_ptr<wl::WaylandConnection> connection);
    ~WaylandPlatform() override;

    void quit() override;
    int32_t processId() const override;
    std::optional<core::Rect> primaryScreenFrame() const override;
    std::vector<core::ScreenInfo> screens() const override;
    void watchScreens(std::function<void()> changed) override;
    double deviceScale() const override;

    void post(std::function<void()> work) override;
    void postDelayed(double seconds, std::function<void()> work) override;
    core::TimerId startRepeatingTimer(double seconds, std::function<void()> tick) override;
    void stopTimer(core::TimerId) override;

    std::unique_ptr<core::OverlayWindow> createOverlayWindow(const core::Rect& frame, core::TavelinView& view) override;
    std::unique_ptr<core::FlashWindow> createFlashWindow(const core::Rect& frame) override;

    void createTrayIcon(const std::string& accessibleName) override;
    void setTrayMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger) override;

    core::WatchId watchDesktopKeys(std::function<void(const core::KeyEvent&)> handler) override;
    core::WatchId watchOwnKeys(std::function<bool(const core::KeyEvent&)> handler) override;
    core::WatchId grabNextClick(std::function<void(core::Point)> onClick, std::function<void()> onFailed) override;
    void stopWatching(core::WatchId) override;

    std::vector<core::WindowRecord> visibleWindows() override;
    std::optional<core::WindowRecord> windowRecord(uint32_t id) override;
    bool isOwnWindow(uint32_t windowId) const override;
    void targetWindowChanged(uint32_t windowId) override;

    void waitForOverlayGone(core::OverlayWindow& overlay, double minSeconds) override;
    core::ImageRef captureScreen(const core::Rect& rect) override;
    core::ImageRef captureWindow(uint32_t windowId, const core::Rect& rect) override;
    core::ImageRef renderOverlay(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight) override;
    core::ImageRef compose(const core::ImageRef& base, const core::ImageRef& layer) override;
    std::optional<std::vector<uint8_t>> encodePng(const core::ImageRef& image) override;
    void setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>& png) override;

    std::string desktopDirectory() const override;
    core::FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
        const std::vector<uint8_t>& bytes) override;
    std::tm localTimeNow() const override;
    void reportProblem(const std::string& message) override;

private:
    // The output whose rectangle holds frame's centre; else the first.
    const wl::Output* outputFor(const core::Rect& frame) const;

    std::unique_ptr<wl::WaylandConnection> m_connection;
    std::unique_ptr<shared::tray::Tray> m_tray;
    std::map<core::TimerId, QTimer*> m_timers;
    std::unique_ptr<QObject> m_pending; // parent of pending posted and delayed work
    core::TimerId m_nextTimer = 1;
};

}
