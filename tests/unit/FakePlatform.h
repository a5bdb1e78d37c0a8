// A desktop made of plain data: records what Tavelin asks of it and lets tests drive events and time.
#pragma once

#include "core/Platform.h"
#include "shared/files/NewFile.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tavelin::test {

class FakeOverlay final : public core::OverlayWindow {
public:
    explicit FakeOverlay(core::Rect frame) : frameValue(frame) { }
    void setClickThrough(bool ignores) override { ignoresMouse = ignores; log.push_back(ignores ? "ignoreMouse" : "takeMouse"); }
    void show() override { shown = true; log.push_back("front"); }
    void hide() override { shown = false; log.push_back("out"); }
    void setFrame(const core::Rect& frame) override { frameValue = frame; }
    core::Rect frame() const override { return frameValue; }
    uint32_t windowId() const override { return 0x0E00001; }
    void update() override { }
    bool screenShowsDrawing() const override { return onScreenAsDrawn; }

    core::Rect frameValue;
    bool onScreenAsDrawn = false;
    bool ignoresMouse = false;
    bool shown = false;
    std::vector<std::string> log;
};

class FakeFlash final : public core::FlashWindow {
public:
    explicit FakeFlash(std::vector<std::string>& log) : log(log) { }
    ~FakeFlash() override { log.push_back("flash destroyed"); }
    void show() override { }
    void hide() override { }
    std::vector<std::string>& log;
};

// An image is its size and how it was made ("screen", "screen+overlay"); its PNG is that text.
class FakeImage final : public core::Image {
public:
    FakeImage(int w, int h, std::string what) : w(w), h(h), what(std::move(what)) { }
    int pixelWidth() const override { return w; }
    int pixelHeight() const override { return h; }
    int w, h;
    std::string what;
};

inline const std::string& made(const core::ImageRef& image) { return static_cast<const FakeImage&>(*image).what; }

class FakePlatform final : public core::Platform {
public:
    // --- what tests set ---
    std::optional<core::Rect> screen = core::Rect { 0, 0, 1440, 900 };
    int32_t pid = 4242;
    std::vector<core::WindowRecord> windows; // frontmost first
    bool clickGrabAvailable = true;
    bool screenCaptureWorks = true, windowCaptureWorks = true, overlayRenderWorks = true, encodeWorks = true;
    std::string home = "/nonexistent";
    std::tm now {};
    std::vector<uint32_t> ownWindows;

    // --- what tests read ---
    FakeOverlay* overlay = nullptr;
    std::vector<std::string> log; // platform calls in order
    std::vector<core::MenuModel> menus;
    std::function<void(const core::MenuItem&)> menuTrigger;
    std::function<bool(const core::KeyEvent&)> localKeys;
    std::function<void(core::Point)> clickHandler;
    std::function<void()> clickFailed;
    std::map<core::WatchId, std::pair<uint32_t, std::function<void()>>> boundsWatches; // token: window, handler
    std::string clipboard;
    std::vector<std::string> problems;
    std::vector<std::string> notifications; // "title: body"
    core::Rect capturedRect;

    // --- event loop ---
    struct Timer {
        double interval;
        std::function<void()> tick;
    };
    std::vector<std::function<void()>> posted;
    std::vector<std::pair<double, std::function<void()>>> delayed;
    std::map<core::TimerId, Timer> timers;
    core::TimerId nextTimer = 1;

    void runPosted()
    {
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.erase(posted.begin());
            work();
        }
    }
    // Fires every running timer once, as one interval passing; a timer stopped meanwhile does not fire.
    void tickTimers()
    {
        auto copy = timers;
        for (auto& [id, timer] : copy) {
            if (timers.count(id))
                timer.tick();
        }
    }
    void runDelayed()
    {
        auto copy = std::exchange(delayed, {});
        for (auto& [seconds, work] : copy)
            work();
    }
    // The current menu's row for a command (and, for the colour rows, a colour).
    const core::MenuItem& row(core::Command command, std::optional<core::GridColor> color = {}) const
    {
        for (auto& item : menus.back().items) {
            if (item.action == command && item.color == color)
                return item;
        }
        throw std::runtime_error("no menu row for that command");
    }
    void trigger(core::Command command, std::optional<core::GridColor> color = {}) { menuTrigger(row(command, color)); }
    // The pending selection's click, pressed at where.
    void click(core::Point where = {}) { clickHandler(where); }

    // --- Platform ---
    void quit() override { }
    int32_t processId() const override { return pid; }
    std::optional<core::Rect> primaryScreenFrame() const override { return screen; }
    std::vector<core::ScreenInfo> screens() const override
    {
        return screen ? std::vector<core::ScreenInfo> { { "screen", *screen, true } } : std::vector<core::ScreenInfo> {};
    }
    void watchScreens(std::function<void()>) override { }
    double deviceScale() const override { return 1; }
    void post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    void postDelayed(double seconds, std::function<void()> work) override { delayed.emplace_back(seconds, std::move(work)); }
    core::TimerId startRepeatingTimer(double seconds, std::function<void()> tick) override
    {
        timers[nextTimer] = { seconds, std::move(tick) };
        return nextTimer++;
    }
    void stopTimer(core::TimerId id) override { timers.erase(id); }

    std::unique_ptr<core::OverlayWindow> createOverlayWindow(const core::Rect& frame, core::TavelinView&) override
    {
        auto window = std::make_unique<FakeOverlay>(frame);
        overlay = window.get();
        return window;
    }
    std::unique_ptr<core::FlashWindow> createFlashWindow(const core::Rect&) override
    {
        log.push_back("create flash");
        return std::make_unique<FakeFlash>(log);
    }

    void createTrayIcon(const std::string&, std::function<void()> notShown) override { trayNotShown = std::move(notShown); }
    std::function<void()> trayNotShown;
    void setTrayMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger) override
    {
        menus.push_back(menu);
        menuTrigger = std::move(onTrigger);
    }
    core::WatchId watchDesktopKeys(std::function<void(const core::KeyEvent&)>) override { return 1; }
    core::WatchId watchOwnKeys(std::function<bool(const core::KeyEvent&)> handler) override
    {
        localKeys = std::move(handler);
        return 2;
    }
    core::WatchId grabNextClick(std::function<void(core::Point)> onClick, std::function<void()> onFailed) override
    {
        if (!clickGrabAvailable)
            return 0;
        clickHandler = std::move(onClick);
        clickFailed = std::move(onFailed);
        return 3;
    }
    void stopWatching(core::WatchId token) override
    {
        log.push_back("remove monitor " + std::to_string(token));
        boundsWatches.erase(token);
    }
    // What a desktop's event for the watched window would do.
    void boundsChanged()
    {
        auto copy = boundsWatches;
        for (auto& [token, watch] : copy)
            if (boundsWatches.count(token))
                watch.second();
    }

    std::vector<core::WindowRecord> visibleWindows() override { return windows; }
    std::optional<core::WindowRecord> windowRecord(uint32_t id) override
    {
        auto w = std::find_if(windows.begin(), windows.end(), [&](auto& w) { return w.id == id; });
        return w == windows.end() ? std::nullopt : std::optional(*w);
    }
    bool isOwnWindow(uint32_t windowId) const override { return std::count(ownWindows.begin(), ownWindows.end(), windowId); }
    void targetWindowChanged(uint32_t) override { }
    core::WatchId watchWindowBounds(uint32_t windowId, std::function<void()> changed) override
    {
        boundsWatches[nextBoundsWatch] = { windowId, std::move(changed) };
        return nextBoundsWatch++;
    }
    core::WatchId nextBoundsWatch = 100;

    void waitForOverlayGone(core::OverlayWindow&, double) override { log.push_back("wait"); }
    core::ImageRef capture(const char* what, const core::Rect& rect, bool works)
    {
        capturedRect = rect;
        return works ? std::make_shared<FakeImage>(int(rect.width), int(rect.height), what) : nullptr;
    }
    core::ImageRef captureScreen(const core::Rect& rect) override
    {
        log.push_back("capture screen");
        return capture("screen", rect, screenCaptureWorks);
    }
    core::ImageRef captureWindow(uint32_t windowId, const core::Rect& rect) override
    {
        log.push_back("capture window " + std::to_string(windowId));
        return capture("window", rect, windowCaptureWorks);
    }
    core::ImageRef renderOverlay(core::TavelinView&, core::Size, int pixelWidth, int pixelHeight) override
    {
        return overlayRenderWorks ? std::make_shared<FakeImage>(pixelWidth, pixelHeight, "overlay") : nullptr;
    }
    core::ImageRef compose(const core::ImageRef& base, const core::ImageRef& layer) override
    {
        return std::make_shared<FakeImage>(base->pixelWidth(), base->pixelHeight(), made(base) + (layer ? "+" + made(layer) : ""));
    }
    std::optional<std::vector<uint8_t>> encodePng(const core::ImageRef& image) override
    {
        return encodeWorks ? std::optional(std::vector<uint8_t>(made(image).begin(), made(image).end())) : std::nullopt;
    }
    void setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>&) override { clipboard = made(image); }
    std::string desktopDirectory() const override { return home.empty() ? "" : home + "/Desktop"; }
    core::FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
        const std::vector<uint8_t>& bytes) override
    {
        return shared::files::writeNewFile(folder, stem, bytes);
    }
    std::tm localTimeNow() const override { return now; }
    void reportProblem(const std::string& message) override { problems.push_back(message); }
    void notify(const std::string& title, const std::string& body) override { notifications.push_back(title + ": " + body); }
};

}
