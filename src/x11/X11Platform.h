// The X11 desktop: Qt 6 for windows, tray, painting and clipboard; xcb for what Qt does not reach.
#pragma once

#include "core/Platform.h"
#include "x11/xcb/X11Connection.h"

#include <map>
#include <memory>

class QObject;
class QTimer;

namespace tavelin::shared::tray {
class Tray;
}
namespace tavelin::x11::keys {
class KeyMonitor;
}
namespace tavelin::x11::windows {
class WindowList;
class WindowPicker;
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

class X11Platform final : public core::Platform {
public:
    X11Platform();
    ~X11Platform() override;

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
    void notify(const std::string& title, const std::string& body) override;

private:
    std::vector<core::Rect> screenFrames() const;

    xcb::X11Connection m_x11;
    std::unique_ptr<screens::RandrScreens> m_screens;
    std::unique_ptr<keys::KeyMonitor> m_keys;
    std::unique_ptr<windows::WindowList> m_windowList;
    std::unique_ptr<windows::WindowPicker> m_picker;
    std::unique_ptr<capture::ScreenshotCapture> m_captures;
    std::unique_ptr<shared::tray::Tray> m_tray;
    std::unique_ptr<overlay::CompositorWatch> m_compositor;
    std::map<core::TimerId, QTimer*> m_timers;
    std::unique_ptr<QObject> m_pending; // parent of pending posted and delayed work
    core::TimerId m_nextTimer = 1;
};

}
