// The narrow interface between Tavelin's logic and the desktop it runs on.
// Each display server's backend implements it for real; tests implement it with a fake.
#pragma once

#include "core/Geometry.h"
#include "core/MenuModel.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelin::core {

class TavelinView;

// The one overlay window: frameless, translucent, above ordinary windows, on all desktops,
// no taskbar entry, never focused; click-through unless told otherwise.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;
    virtual void setClickThrough(bool clickThrough) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    // Global coordinates; the hosted view takes the same size at origin (0, 0).
    virtual void setFrame(const Rect& frame) = 0;
    virtual Rect frame() const = 0;
    // The X window id, so window lists and captures can tell it apart.
    virtual uint32_t windowId() const = 0;
    // Schedules one repaint on the event loop; many calls before it runs coalesce into one.
    virtual void update() = 0;
    // Whether the screen's pixels hold this window as it is drawn now, blended over what lies
    // below, so that a capture of the screen already is the picture with the grid. False while
    // a change may not have reached the screen yet.
    virtual bool screenShowsDrawing() const { return false; }
};

// The white pane that confirms a screenshot.
class FlashWindow {
public:
    virtual ~FlashWindow() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
};

// One entry of the window list. A missing or malformed property is absent.
struct WindowRecord {
    std::optional<uint32_t> id;
    std::optional<int32_t> pid; // many X clients set none
    // 0 for ordinary windows; docks, desktops, notifications, menus and kept-above windows differ.
    std::optional<int64_t> layer;
    // The visible rectangle in global coordinates.
    std::optional<Rect> bounds;
    // On screen now: not minimized, not on another desktop (a window can be there and not shown).
    bool shown = true;
};

// A captured or rendered image, owned by the platform.
class Image {
public:
    virtual ~Image() = default;
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
};
using ImageRef = std::shared_ptr<const Image>;

// The physical keys the shortcuts use, named by what they carry on a US layout.
enum class ShortcutKey : uint8_t { none, g, w, l, s, a };

// Modifiers held with a key. Only Shift and Super decide a shortcut; the others are reported.
namespace modifiers {
constexpr uint32_t shift = 1u << 0;
constexpr uint32_t capsLock = 1u << 1;
constexpr uint32_t control = 1u << 2;
constexpr uint32_t alt = 1u << 3;
constexpr uint32_t super = 1u << 4; // the logo key
}

struct KeyEvent {
    ShortcutKey key = ShortcutKey::none;
    uint32_t modifiers = 0;
};

// What writing a new file gave: its path, or why there is none.
struct WrittenFile {
    std::string path;
};
struct WriteError {
    std::string message;
};
using FileWriteResult = std::variant<WrittenFile, WriteError>;

// One screen (a RandR monitor on X11): its name, its rectangle in root-window coordinates.
struct ScreenInfo {
    std::string name;
    Rect frame;
    bool primary = false;
};

using WatchId = uint64_t; // 0: nothing watched
using TimerId = uint64_t; // 0: no timer

class Platform {
public:
    virtual ~Platform() = default;

    // --- Application ---
    virtual void quit() = 0;
    virtual int32_t processId() const = 0;
    // The primary screen's rectangle in root-window coordinates; none without a screen.
    virtual std::optional<Rect> primaryScreenFrame() const = 0;
    // Every screen now, exactly one marked primary; empty when the desktop cannot tell.
    virtual std::vector<ScreenInfo> screens() const = 0;
    // Runs on the event loop after screens were added, removed, moved or resized.
    virtual void watchScreens(std::function<void()> changed) = 0;
    // Device pixels per point: a root-window pixel position is a point position times this.
    virtual double deviceScale() const = 0;

    // --- Event loop ---
    virtual void post(std::function<void()> work) = 0;
    virtual void postDelayed(double seconds, std::function<void()> work) = 0;
    virtual TimerId startRepeatingTimer(double seconds, std::function<void()> tick) = 0;
    virtual void stopTimer(TimerId) = 0;

    // --- Windows of our own ---
    virtual std::unique_ptr<OverlayWindow> createOverlayWindow(const Rect& frame, TavelinView& view) = 0;
    virtual std::unique_ptr<FlashWindow> createFlashWindow(const Rect& frame) = 0;

    // --- Tray ---
    // notShown runs once if, a few seconds on, no tray on the desktop shows the icon (none runs, or
    // none that takes this kind of icon).
    virtual void createTrayIcon(const std::string& accessibleName, std::function<void()> notShown) = 0;
    // Replaces what the tray menu shows; triggered rows come back through onTrigger.
    virtual void setTrayMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger) = 0;

    // --- Keys and pointer ---
    // Key-downs sent to other applications; they still get them. 0 when keys cannot be observed.
    virtual WatchId watchDesktopKeys(std::function<void(const KeyEvent&)> handler) = 0;
    // Key-downs sent to our own windows; the handler returns true to swallow the key.
    virtual WatchId watchOwnKeys(std::function<bool(const KeyEvent&)> handler) = 0;
    // One left click anywhere (pointer grab): onClick gets where the button went down, in global
    // coordinates; onFailed runs when the grab cannot be had.
    virtual WatchId grabNextClick(std::function<void(Point)> onClick, std::function<void()> onFailed) = 0;
    virtual void stopWatching(WatchId) = 0;

    // --- Window list ---
    // Windows now on screen, frontmost first, without desktop elements.
    virtual std::vector<WindowRecord> visibleWindows() = 0;
    // The one window with that id, shown or not; none once it is gone.
    virtual std::optional<WindowRecord> windowRecord(uint32_t id) = 0;
    virtual bool isOwnWindow(uint32_t windowId) const = 0;
    // Told when a window becomes the target, and when it stops being one (0), so captures can prepare.
    virtual void targetWindowChanged(uint32_t windowId) = 0;
    // Runs on the event loop as soon as the window may have moved, changed size or left the screen
    // (unmapped, destroyed, taken into another frame); what arrived at once comes as one call, and one
    // comes right after the watch began. Ended with stopWatching. 0 when the desktop tells nothing
    // of the kind: then only polling follows it.
    virtual WatchId watchWindowBounds(uint32_t /*windowId*/, std::function<void()> /*changed*/) { return 0; }

    // --- ScreenshotCapture ---
    // Blocks until the ordered-out overlay is really gone from the screen, at least minSeconds.
    virtual void waitForOverlayGone(OverlayWindow& overlay, double minSeconds) = 0;
    // Blocks until the menu a row was just chosen from, ours or the tray host's own, has left the
    // screen: a shot chosen in the menu must not show it closing.
    virtual void waitForMenuGone() { }
    virtual ImageRef captureScreen(const Rect& rect) = 0;
    virtual ImageRef captureWindow(uint32_t windowId, const Rect& rect) = 0;
    // True where a window's capture is a part of the screen as composed, which holds the overlay:
    // the overlay leaves the screen for it as for a screen's capture.
    virtual bool windowCaptureShowsOverlay() const { return false; }
    // Our own rendering of the overlay at the given pixel size (same drawing as on screen).
    virtual ImageRef renderOverlay(TavelinView& view, Size points, int pixelWidth, int pixelHeight) = 0;
    // base at its pixel size with the layer (if any) stretched over it; none on failure.
    virtual ImageRef compose(const ImageRef& base, const ImageRef& layer) = 0;
    virtual std::optional<std::vector<uint8_t>> encodePng(const ImageRef& image) = 0;
    virtual void setClipboardImage(const ImageRef& image, const std::vector<uint8_t>& png) = 0;

    // --- Files and time ---
    // The folder screenshots go to (the user's Desktop); empty when there is no home to find it in.
    virtual std::string desktopDirectory() const = 0;
    // Writes bytes to folder/stem.png, or stem-2.png, -3, … when the name is taken: complete or not
    // at all, never replacing a file or following a link.
    virtual FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
        const std::vector<uint8_t>& bytes) = 0;
    virtual std::tm localTimeNow() const = 0;
    // One line for the user on stderr.
    virtual void reportProblem(const std::string& message) = 0;
    // A desktop notification: a tray application's user reads no stderr. Lost when the desktop
    // shows none, so it never stands alone.
    virtual void notify(const std::string& title, const std::string& body) = 0;
};

}
