// Owns everything that lives for the whole run and carries every command the user can give.
#pragma once

#include "core/GridState.h"
#include "core/Lifeline.h"
#include "core/MenuModel.h"
#include "core/OverlayHost.h"
#include "core/Platform.h"
#include "core/ScreenChoice.h"
#include "core/Screenshot.h"
#include "core/Shortcuts.h"
#include "core/TrayMenu.h"
#include "core/WindowTargeting.h"

#include <functional>
#include <optional>
#include <string>

namespace tavelin::core {

class AppDelegate {
public:
    explicit AppDelegate(Platform& platform);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void launch();

    // Commands (menu rows and shortcuts).
    void toggleGrid();
    void setGridColor(GridColor color);
    void toggleCellLabels();
    void toggleAdjustMode();
    void setSizeLarge() { setCellSize(160, 160); }
    void setSizeMedium() { setCellSize(80, 80); }
    void setSizeSmall() { setCellSize(40, 40); }
    void quitApp();
    void startWindowSelection() { m_windows.startSelection(); }
    void setTargetFullScreen() { m_windows.setFullScreen(); }
    void takeScreenshot() { m_screenshot.toDesktop(); }

    // Script commands beyond the menu's (see CommandSet).
    void followWindow(uint32_t id) { m_windows.follow(id); }
    void setCellSize(double width, double height);
    std::string fullScreenName() const { return m_screens.name(); }
    void setFullScreenScreen(const std::string& name);
    // Where the grid is drawn, in root-window points.
    Rect gridFrame() const;
    Screenshot::Result screenshotToDesktop() { return m_screenshot.toDesktop(); }
    Screenshot::Png screenshotPng() { return m_screenshot.png(); }
    // Told after the overlay moved or the screens changed.
    void setChangeHandler(std::function<void()> handler) { m_overlay.setChangeHandler(std::move(handler)); }

    // Runs the command a menu row names.
    void perform(const MenuItem& item);

    GridState& gridState() { return m_gridState; }
    const GridState& gridState() const { return m_gridState; }
    OverlayWindow* overlayWindow() { return m_overlay.window(); }
    TavelinView* view() { return m_overlay.view(); }
    WindowTargeting& windows() { return m_windows; }
    Shortcuts& shortcuts() { return m_shortcuts; }

private:
    void runShortcut(ShortcutKey key);
    void screensChanged();

    Platform& m_platform;
    // Declared so that they go in the right order: what watches keys, pointer and timers first,
    // the overlay's window and view after, the state they draw last.
    GridState m_gridState;
    ScreenChoice m_screens;
    OverlayHost m_overlay;
    TrayMenu m_menu;
    WindowTargeting m_windows;
    Screenshot m_screenshot;
    Shortcuts m_shortcuts;
    Lifeline m_life;
};

}
