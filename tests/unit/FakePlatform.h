// A desktop made of plain data: records what Tavelin asks of it and lets tests drive events and time.
#pragma once

#include "Platform.h"
#include "TavelinView.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavelin::test {

class FakeOverlay final : public OverlayWindow {
public:
    explicit FakeOverlay(Rect frame) : frameValue(frame) { }
    void setIgnoresMouseEvents(bool ignores) override { ignoresMouse = ignores; log.push_back(ignores ? "ignoreMouse" : "takeMouse"); }
    void orderFront() override { shown = true; log.push_back("front"); }
    void orderOut() override { shown = false; log.push_back("out"); }
    void setFrame(const Rect& frame) override { frameValue = frame; ++frameSets; }
    Rect frame() const override { return frameValue; }
    uint32_t windowNumber() const override { return 0x0E00001; }
    void setNeedsDisplay() override { ++needsDisplay; }

    Rect frameValue;
    bool ignoresMouse = false;
    bool shown = false;
    int frameSets = 0;
    int needsDisplay = 0;
    std::vector<std::string> log;
};

class FakeFlash final : public FlashWindow {
public:
    FakeFlash(Rect frame, std::vector<std::string>& log) : frame(frame), log(log) { }
    void orderFront() override { log.push_back("flash front"); }
    void orderOut() override { log.push_back("flash out"); }
    Rect frame;
    std::vector<std::string>& log;
};

class FakeImage final : public Image {
public:
    FakeImage(int w, int h, std::string what) : w(w), h(h), what(std::move(what)) { }
    int pixelWidth() const override { return w; }
    int pixelHeight() const override { return h; }
    int w, h;
    std::string what;
};

class FakePlatform final : public Platform {
public:
    // --- what tests set ---
    std::optional<Rect> screen = Rect { 0, 0, 1440, 900 };
    int32_t pid = 4242;
    std::vector<WindowRecord> windows; // frontmost first
    std::optional<Point> pointer = Point { 0, 0 };
    bool keyMonitorsAvailable = true;
    bool clickMonitorAvailable = true;
    bool screenCaptureWorks = true;
    bool windowCaptureWorks = true;
    bool overlayRenderWorks = true;
    bool encodeWorks = true;
    std::string home = "/nonexistent";
    std::tm now {};
    std::vector<uint32_t> ownWindows;

    // --- what tests read ---
    FakeOverlay* overlay = nullptr;
    std::vector<std::string> log; // platform calls in order
    std::vector<MenuModel> menus;
    std::function<void(const MenuItem&)> menuTrigger;
    std::function<void(const KeyEvent&)> globalKeys;
    std::function<bool(const KeyEvent&)> localKeys;
    std::function<void()> clickHandler;
    std::function<void()> clickFailed;
    int cursorDepth = 0;
    std::vector<uint32_t> targetChanges;
    std::string clipboard;
    std::vector<std::string> problems;
    Size renderedOverlaySize;
    int renderedPixelsWide = 0;

    // --- event loop ---
    struct Timer {
        double interval;
        std::function<void()> tick;
    };
    std::vector<std::function<void()>> posted;
    std::vector<std::pair<double, std::function<void()>>> delayed;
    std::map<TimerId, Timer> timers;
    TimerId nextTimer = 1;

    void runPosted()
    {
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.erase(posted.begin());
            work();
        }
    }
    // Fires every running timer once, as one interval passing.
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
        auto copy = std::move(delayed);
        delayed.clear();
        for (auto& [seconds, work] : copy)
            work();
    }
    const MenuModel& lastMenu() const { return menus.back(); }
    void trigger(const std::string& title)
    {
        for (auto& item : lastMenu().items) {
            if (item.title == title) {
                menuTrigger(item);
                return;
            }
        }
        throw std::runtime_error("no menu row " + title);
    }

    // --- Platform ---
    void setAccessoryActivationPolicy() override { log.push_back("accessory"); }
    void terminate() override { log.push_back("terminate"); }
    int32_t processId() const override { return pid; }
    std::optional<Rect> mainScreenFrame() const override { return screen; }
    void post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    void postDelayed(double seconds, std::function<void()> work) override { delayed.emplace_back(seconds, std::move(work)); }
    TimerId startRepeatingTimer(double seconds, std::function<void()> tick) override
    {
        timers[nextTimer] = { seconds, std::move(tick) };
        return nextTimer++;
    }
    void stopTimer(TimerId id) override { timers.erase(id); }

    std::unique_ptr<OverlayWindow> createOverlayWindow(const Rect& frame, TavelinView&) override
    {
        auto window = std::make_unique<FakeOverlay>(frame);
        overlay = window.get();
        log.push_back("create overlay");
        return window;
    }
    std::unique_ptr<FlashWindow> createFlashWindow(const Rect& frame) override
    {
        log.push_back("create flash");
        flashFrames.push_back(frame);
        return std::make_unique<FakeFlash>(frame, log);
    }
    std::vector<Rect> flashFrames;

    void createStatusItem(const std::string& name) override { log.push_back("status item " + name); }
    void setStatusMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger) override
    {
        menus.push_back(menu);
        menuTrigger = std::move(onTrigger);
    }
    MonitorToken addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override
    {
        if (!keyMonitorsAvailable)
            return 0;
        globalKeys = std::move(handler);
        return 1;
    }
    MonitorToken addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) override
    {
        localKeys = std::move(handler);
        return 2;
    }
    MonitorToken addGlobalClickMonitor(std::function<void()> onClick, std::function<void()> onFailed) override
    {
        log.push_back("click monitor");
        if (!clickMonitorAvailable)
            return 0;
        clickHandler = std::move(onClick);
        clickFailed = std::move(onFailed);
        return 3;
    }
    void removeMonitor(MonitorToken token) override { log.push_back("remove monitor " + std::to_string(token)); }
    void pushCrosshairCursor() override { ++cursorDepth; }
    void popCursor() override { --cursorDepth; }
    std::optional<Point> pointerLocation() const override { return pointer; }

    std::vector<WindowRecord> onScreenWindows() override { return windows; }
    std::vector<WindowRecord> windowInfo(uint32_t number) override
    {
        ++windowInfoQueries;
        for (auto& w : windows) {
            if (w.number == number)
                return { w };
        }
        return {};
    }
    int windowInfoQueries = 0;
    bool isOwnWindow(uint32_t number) const override
    {
        return std::find(ownWindows.begin(), ownWindows.end(), number) != ownWindows.end();
    }
    void targetWindowChanged(uint32_t number) override { targetChanges.push_back(number); }

    void waitForOverlayGone(OverlayWindow& window, double minSeconds) override
    {
        log.push_back(std::string("wait ") + (static_cast<FakeOverlay&>(window).shown ? "shown" : "hidden") + " "
            + std::to_string(minSeconds).substr(0, 3));
    }
    ImageRef captureScreen(const Rect& rect) override
    {
        log.push_back("capture screen");
        capturedRect = rect;
        if (!screenCaptureWorks)
            return nullptr;
        return std::make_shared<FakeImage>(int(rect.width), int(rect.height), "screen");
    }
    ImageRef captureWindow(uint32_t number, const Rect& rect) override
    {
        log.push_back("capture window " + std::to_string(number));
        capturedRect = rect;
        if (!windowCaptureWorks)
            return nullptr;
        return std::make_shared<FakeImage>(int(rect.width), int(rect.height), "window");
    }
    Rect capturedRect;
    ImageRef renderOverlay(TavelinView&, Size points, int pixelWidth, int pixelHeight) override
    {
        renderedOverlaySize = points;
        renderedPixelsWide = pixelWidth;
        if (!overlayRenderWorks)
            return nullptr;
        return std::make_shared<FakeImage>(pixelWidth, pixelHeight, "overlay");
    }
    ImageRef compose(const ImageRef& base, const ImageRef& layer) override
    {
        auto& b = static_cast<const FakeImage&>(*base);
        std::string what = b.what + (layer ? "+" + static_cast<const FakeImage&>(*layer).what : "");
        log.push_back("compose " + what);
        return std::make_shared<FakeImage>(b.w, b.h, what);
    }
    std::optional<std::vector<uint8_t>> encodePng(const ImageRef& image) override
    {
        if (!encodeWorks)
            return std::nullopt;
        auto& what = static_cast<const FakeImage&>(*image).what;
        return std::vector<uint8_t>(what.begin(), what.end());
    }
    void setClipboardImage(const ImageRef& image, const std::vector<uint8_t>&) override
    {
        clipboard = static_cast<const FakeImage&>(*image).what;
        log.push_back("clipboard");
    }
    std::string homeDirectory() const override { return home; }
    std::tm localTimeNow() const override { return now; }
    void reportProblem(const std::string& message) override { problems.push_back(message); }
};

}
