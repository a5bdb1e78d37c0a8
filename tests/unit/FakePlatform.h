// A desktop made of plain data: records what Tavelin asks of it and lets tests drive events and time.
#pragma once

#include "Platform.h"
#include "TavelinView.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tavelin::test {

class FakeOverlay final : public OverlayWindow {
public:
    explicit FakeOverlay(Rect frame) : frameValue(frame) { }
    void setIgnoresMouseEvents(bool ignores) override { ignoresMouse = ignores; log.push_back(ignores ? "ignoreMouse" : "takeMouse"); }
    void orderFront() override { shown = true; log.push_back("front"); }
    void orderOut() override { shown = false; log.push_back("out"); }
    void setFrame(const Rect& frame) override { frameValue = frame; }
    Rect frame() const override { return frameValue; }
    uint32_t windowNumber() const override { return 0x0E00001; }
    void setNeedsDisplay() override { }

    Rect frameValue;
    bool ignoresMouse = false;
    bool shown = false;
    std::vector<std::string> log;
};

class FakeFlash final : public FlashWindow {
public:
    explicit FakeFlash(std::vector<std::string>& log) : log(log) { }
    void orderFront() override { log.push_back("flash front"); }
    void orderOut() override { log.push_back("flash out"); }
    std::vector<std::string>& log;
};

// An image is its size and how it was made ("screen", "screen+overlay"); its PNG is that text.
class FakeImage final : public Image {
public:
    FakeImage(int w, int h, std::string what) : w(w), h(h), what(std::move(what)) { }
    int pixelWidth() const override { return w; }
    int pixelHeight() const override { return h; }
    int w, h;
    std::string what;
};

inline const std::string& made(const ImageRef& image) { return static_cast<const FakeImage&>(*image).what; }

class FakePlatform final : public Platform {
public:
    // --- what tests set ---
    std::optional<Rect> screen = Rect { 0, 0, 1440, 900 };
    int32_t pid = 4242;
    std::vector<WindowRecord> windows; // frontmost first
    std::optional<Point> pointer = Point { 0, 0 };
    bool keyMonitorsAvailable = true, clickMonitorAvailable = true;
    bool screenCaptureWorks = true, windowCaptureWorks = true, overlayRenderWorks = true, encodeWorks = true;
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
    std::function<void()> clickHandler, clickFailed;
    int cursorDepth = 0;
    std::vector<uint32_t> targetChanges;
    std::string clipboard;
    std::vector<std::string> problems;
    std::vector<Rect> flashFrames;
    Rect capturedRect;
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
    const MenuItem& row(const std::string& title) const
    {
        for (auto& item : menus.back().items) {
            if (item.title == title)
                return item;
        }
        throw std::runtime_error("no menu row " + title);
    }
    void trigger(const std::string& title) { menuTrigger(row(title)); }

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
        log.push_back("create overlay");
        auto window = std::make_unique<FakeOverlay>(frame);
        overlay = window.get();
        return window;
    }
    std::unique_ptr<FlashWindow> createFlashWindow(const Rect& frame) override
    {
        log.push_back("create flash");
        flashFrames.push_back(frame);
        return std::make_unique<FakeFlash>(log);
    }

    void createStatusItem(const std::string& name) override { log.push_back("status item " + name); }
    void setStatusMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger) override
    {
        menus.push_back(menu);
        menuTrigger = std::move(onTrigger);
    }
    MonitorToken addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override
    {
        globalKeys = keyMonitorsAvailable ? std::move(handler) : nullptr;
        return keyMonitorsAvailable ? 1 : 0;
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
        auto w = std::find_if(windows.begin(), windows.end(), [&](auto& w) { return w.number == number; });
        return w == windows.end() ? std::vector<WindowRecord> {} : std::vector { *w };
    }
    bool isOwnWindow(uint32_t number) const override { return std::count(ownWindows.begin(), ownWindows.end(), number); }
    void targetWindowChanged(uint32_t number) override { targetChanges.push_back(number); }

    void waitForOverlayGone(OverlayWindow& window, double minSeconds) override
    {
        log.push_back(std::string("wait ") + (static_cast<FakeOverlay&>(window).shown ? "shown " : "hidden ")
            + std::to_string(minSeconds).substr(0, 3));
    }
    ImageRef capture(const char* what, const Rect& rect, bool works)
    {
        capturedRect = rect;
        return works ? std::make_shared<FakeImage>(int(rect.width), int(rect.height), what) : nullptr;
    }
    ImageRef captureScreen(const Rect& rect) override
    {
        log.push_back("capture screen");
        return capture("screen", rect, screenCaptureWorks);
    }
    ImageRef captureWindow(uint32_t number, const Rect& rect) override
    {
        log.push_back("capture window " + std::to_string(number));
        return capture("window", rect, windowCaptureWorks);
    }
    ImageRef renderOverlay(TavelinView&, Size points, int pixelWidth, int pixelHeight) override
    {
        renderedOverlaySize = points;
        renderedPixelsWide = pixelWidth;
        return overlayRenderWorks ? std::make_shared<FakeImage>(pixelWidth, pixelHeight, "overlay") : nullptr;
    }
    ImageRef compose(const ImageRef& base, const ImageRef& layer) override
    {
        std::string what = made(base) + (layer ? "+" + made(layer) : "");
        log.push_back("compose " + what);
        return std::make_shared<FakeImage>(base->pixelWidth(), base->pixelHeight(), what);
    }
    std::optional<std::vector<uint8_t>> encodePng(const ImageRef& image) override
    {
        if (!encodeWorks)
            return std::nullopt;
        return std::vector<uint8_t>(made(image).begin(), made(image).end());
    }
    void setClipboardImage(const ImageRef& image, const std::vector<uint8_t>&) override
    {
        clipboard = made(image);
        log.push_back("clipboard");
    }
    std::string homeDirectory() const override { return home; }
    std::tm localTimeNow() const override { return now; }
    void reportProblem(const std::string& message) override { problems.push_back(message); }
};

}
