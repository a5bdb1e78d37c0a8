// The narrow interface between Tavelin's logic and the desktop it runs on.
// The Qt/X11 layer implements it for real; tests implement it with a fake.
#pragma once

#include "Geometry.h"
#include "MenuModel.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavelin {

class TavelinView;

// The one overlay window: frameless, translucent, above ordinary windows, on all desktops,
// no taskbar entry, never focused; click-through unless told otherwise.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    // Global coordinates; the hosted view takes the same size at origin (0, 0).
    virtual void setFrame(const Rect& frame) = 0;
    virtual Rect frame() const = 0;
    // The X window id, so window lists and captures can tell it apart.
    virtual uint32_t windowNumber() const = 0;
    // Schedules one repaint on the event loop; many calls before it runs coalesce into one.
    virtual void setNeedsDisplay() = 0;
};

// The white pane that confirms a screenshot.
class FlashWindow {
public:
    virtual ~FlashWindow() = default;
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
};

// One entry of the window list. A missing or malformed property is absent.
struct WindowRecord {
    std::optional<uint32_t> number;
    std::optional<int32_t> ownerPid;
    // 0 for ordinary windows; docks, desktops, notifications, menus and kept-above windows differ.
    std::optional<int64_t> layer;
    // The visible rectangle in global coordinates.
    std::optional<Rect> bounds;
};

// A captured or rendered image, owned by the platform.
class Image {
public:
    virtual ~Image() = default;
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
};
using ImageRef = std::shared_ptr<const Image>;

// Physical key codes and modifier flags the shortcut decision works on.
struct KeyEvent {
    static constexpr uint64_t shiftFlag = 0x20000;
    static constexpr uint64_t commandFlag = 0x100000; // Super (the logo key)
    static constexpr uint16_t keyA = 0;
    static constexpr uint16_t keyS = 1;
    static constexpr uint16_t keyG = 5;
    static constexpr uint16_t keyW = 13;
    static constexpr uint16_t keyL = 37;

    uint64_t modifierFlags = 0;
    uint16_t keyCode = 0xFFFF; // 0xFFFF: a key with none of the codes above
};

using MonitorToken = uint64_t; // 0: no monitor
using TimerId = uint64_t;      // 0: no timer

class Platform {
public:
    virtual ~Platform() = default;

    // --- Application ---
    virtual void setAccessoryActivationPolicy() = 0;
    virtual void terminate() = 0;
    virtual int32_t processId() const = 0;
    // The main screen's rectangle in global coordinates; none without a screen.
    virtual std::optional<Rect> mainScreenFrame() const = 0;

    // --- Event loop ---
    virtual void post(std::function<void()> work) = 0;
    virtual void postDelayed(double seconds, std::function<void()> work) = 0;
    virtual TimerId startRepeatingTimer(double seconds, std::function<void()> tick) = 0;
    virtual void stopTimer(TimerId) = 0;

    // --- Windows of our own ---
    virtual std::unique_ptr<OverlayWindow> createOverlayWindow(const Rect& frame, TavelinView& view) = 0;
    virtual std::unique_ptr<FlashWindow> createFlashWindow(const Rect& frame) = 0;

    // --- Tray ---
    virtual void createStatusItem(const std::string& accessibleName) = 0;
    // Replaces what the tray menu shows; triggered rows come back through onTrigger.
    virtual void setStatusMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger) = 0;

    // --- Event monitors ---
    // Key-downs sent to other applications; they still get them. 0 when keys cannot be observed.
    virtual MonitorToken addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) = 0;
    // Key-downs sent to our own windows; the handler returns true to swallow the key.
    virtual MonitorToken addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) = 0;
    // One left click anywhere (pointer grab); onFailed runs when the grab cannot be had.
    virtual MonitorToken addGlobalClickMonitor(std::function<void()> onClick, std::function<void()> onFailed) = 0;
    virtual void removeMonitor(MonitorToken) = 0;
    virtual void pushCrosshairCursor() = 0;
    virtual void popCursor() = 0;
    virtual std::optional<Point> pointerLocation() const = 0;

    // --- Window list ---
    // Windows now on screen, frontmost first, without desktop elements.
    virtual std::vector<WindowRecord> onScreenWindows() = 0;
    // The one window with that number, or an empty list once it is gone.
    virtual std::vector<WindowRecord> windowInfo(uint32_t number) = 0;
    virtual bool isOwnWindow(uint32_t number) const = 0;
    // Told when a window becomes the target, and when it stops being one (0), so captures can prepare.
    virtual void targetWindowChanged(uint32_t number) = 0;

    // --- Captures ---
    // Blocks until the ordered-out overlay is really gone from the screen, at least minSeconds.
    virtual void waitForOverlayGone(OverlayWindow& overlay, double minSeconds) = 0;
    virtual ImageRef captureScreen(const Rect& rect) = 0;
    virtual ImageRef captureWindow(uint32_t number, const Rect& rect) = 0;
    // Our own rendering of the overlay at the given pixel size (same drawing as on screen).
    virtual ImageRef renderOverlay(TavelinView& view, Size points, int pixelWidth, int pixelHeight) = 0;
    // base at its pixel size with the layer (if any) stretched over it; none on failure.
    virtual ImageRef compose(const ImageRef& base, const ImageRef& layer) = 0;
    virtual std::optional<std::vector<uint8_t>> encodePng(const ImageRef& image) = 0;
    virtual void setClipboardImage(const ImageRef& image, const std::vector<uint8_t>& png) = 0;

    // --- Files and time ---
    virtual std::string homeDirectory() const = 0;
    virtual std::tm localTimeNow() const = 0;
    // One line for the user on stderr.
    virtual void reportProblem(const std::string& message) = 0;
};

}
