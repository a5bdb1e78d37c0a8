// Owns everything that lives for the whole run and carries every command the user can give.
#pragma once

#include "core/GridState.h"
#include "core/MenuModel.h"
#include "core/Platform.h"
#include "core/TavelinView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavelin::core {

class AppDelegate {
public:
    explicit AppDelegate(Platform& platform);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void launch();

    // Commands (menu rows and shortcuts).
    void toggleGrid();
    void setGridColor(GridColor color);
    void toggleCellLabels();
    void toggleAdjustMode();
    void setSizeLarge() { setSize(160); }
    void setSizeMedium() { setSize(80); }
    void setSizeSmall() { setSize(40); }
    void quitApp();
    void startWindowSelection();
    void setTargetFullScreen();
    void takeScreenshot();

    // Script commands beyond the menu's (see CommandSet).
    void followWindow(uint32_t id);
    void setCellSize(double width, double height);
    // The screen the full-screen grid covers: the one chosen by name while it exists, else the primary.
    std::optional<Rect> fullScreenFrame() const;
    std::string fullScreenName() const;
    void setFullScreenScreen(const std::string& name);
    // Where the grid is drawn, in root-window points.
    Rect gridFrame() const;
    struct ShotResult {
        std::string path;
        std::string problem; // empty when the file was saved
    };
    // The menu's screenshot, reporting where the file went.
    ShotResult screenshotToDesktop();
    // The same picture as PNG bytes alone: no file, no clipboard, no flash.
    std::optional<std::vector<uint8_t>> screenshotPng();
    // Told after the overlay moved or the screens changed.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    // Runs the command a menu row names.
    void perform(const MenuItem& item);

    // The shortcut decision: true when the key is one of the five shortcuts (its command is then queued).
    bool handleKeyEvent(const KeyEvent& event);

    // What the tray menu shows for the current state.
    MenuModel buildMenu() const;

    GridState& gridState() { return m_gridState; }
    const GridState& gridState() const { return m_gridState; }
    OverlayWindow* overlayWindow() { return m_overlayWindow.get(); }
    TavelinView* view() { return m_view.get(); }
    bool isTracking() const { return m_trackingTimer != 0; }

    // Window targeting, reachable for tests of the hit test and tracking.
    std::optional<uint32_t> findWindowAt(Point windowServerPoint);
    std::optional<Rect> getWindowBounds(uint32_t windowId);
    void applyWindowTarget(uint32_t windowId);
    void startTrackingWindow();
    void handleWindowSelectionClick(Point where);

    // The screenshot's file name for a local time: Tavelin_yyyy-MM-dd_HH.mm.ss.png.
    static std::string screenshotFileName(const std::tm& localTime);

private:
    void setupOverlayWindow();
    void setupTray();
    void rebuildMenu();
    void setupShortcuts();
    void setSize(double value);
    void stopTrackingTimer();
    void endWindowSelection();
    void stopSelecting();
    void showOverlayAfterSelection();
    void showScreenshotFeedback();
    void runShortcut(ShortcutKey key);
    ImageRef captureBase(Rect& rect);
    FileWriteResult saveScreenshot(const std::vector<uint8_t>& png);
    ImageRef composeScreenshot();
    void targetWindow(uint32_t id);
    std::optional<ScreenInfo> fullScreen() const;
    void screensChanged();
    void placeOverlay(const Rect& frame);

    Platform& m_platform;
    std::unique_ptr<OverlayWindow> m_overlayWindow;
    GridState m_gridState;
    std::unique_ptr<TavelinView> m_view;
    bool m_hasTrayIcon = false;
    WatchId m_desktopKeys = 0;
    WatchId m_ownKeys = 0;
    WatchId m_clickGrab = 0;
    TimerId m_trackingTimer = 0;
    // Flashes still on screen: a screen capture must not catch the previous shot's flash.
    std::vector<std::shared_ptr<FlashWindow>> m_flashes;
    std::string m_screenName; // chosen by name; empty: the primary screen
    std::function<void()> m_changed;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}
