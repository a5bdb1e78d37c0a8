// The real desktop: Qt 6 for windows, tray, painting and clipboard; xcb for what Qt does not reach.
#pragma once

#include "Platform.h"
#include "X11Connection.h"

#include <map>
#include <memory>

class QTimer;

namespace tavelin::qt {

class KeyMonitor;
class WindowList;
class WindowPicker;
class Captures;
class Tray;
class CompositorWatch;

class QtPlatform final : public Platform {
public:
    QtPlatform();
    ~QtPlatform() override;

    void setAccessoryActivationPolicy() override;
    void terminate() override;
    int32_t processId() const override;
    std::optional<Rect> mainScreenFrame() const override;

    void post(std::function<void()> work) override;
    void postDelayed(double seconds, std::function<void()> work) override;
    TimerId startRepeatingTimer(double seconds, std::function<void()> tick) override;
    void stopTimer(TimerId) override;

    std::unique_ptr<OverlayWindow> createOverlayWindow(const Rect& frame, TavelinView& view) override;
    std::unique_ptr<FlashWindow> createFlashWindow(const Rect& frame) override;

    void createStatusItem(const std::string& accessibleName) override;
    void setStatusMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger) override;

    MonitorToken addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override;
    MonitorToken addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) override;
    MonitorToken addGlobalClickMonitor(std::function<void()> onClick, std::function<void()> onFailed) override;
    void removeMonitor(MonitorToken) override;
    void pushCrosshairCursor() override;
    void popCursor() override;
    std::optional<Point> pointerLocation() const override;

    std::vector<WindowRecord> onScreenWindows() override;
    std::vector<WindowRecord> windowInfo(uint32_t number) override;
    bool isOwnWindow(uint32_t number) const override;
    void targetWindowChanged(uint32_t number) override;

    void waitForOverlayGone(OverlayWindow& overlay, double minSeconds) override;
    ImageRef captureScreen(const Rect& rect) override;
    ImageRef captureWindow(uint32_t number, const Rect& rect) override;
    ImageRef renderOverlay(TavelinView& view, Size points, int pixelWidth, int pixelHeight) override;
    ImageRef compose(const ImageRef& base, const ImageRef& layer) override;
    std::optional<std::vector<uint8_t>> encodePng(const ImageRef& image) override;
    void setClipboardImage(const ImageRef& image, const std::vector<uint8_t>& png) override;

    std::string homeDirectory() const override;
    std::tm localTimeNow() const override;
    void reportProblem(const std::string& message) override;

private:
    x11::X11Connection m_x11;
    std::unique_ptr<KeyMonitor> m_keys;
    std::unique_ptr<WindowList> m_windowList;
    std::unique_ptr<WindowPicker> m_picker;
    std::unique_ptr<Captures> m_captures;
    std::unique_ptr<Tray> m_tray;
    std::unique_ptr<CompositorWatch> m_compositor;
    std::map<TimerId, QTimer*> m_timers;
    TimerId m_nextTimer = 1;
};

}
