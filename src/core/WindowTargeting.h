// Window targeting: picking a window by clicking it, following it, and returning to the full screen.
#pragma once

#include "core/GridState.h"
#include "core/Lifeline.h"
#include "core/OverlayHost.h"
#include "core/Platform.h"
#include "core/ScreenChoice.h"

#include <functional>
#include <optional>

namespace tavelin::core {

class WindowTargeting {
public:
    // targetChanged: the target mode moved (the menu's check marks follow it).
    WindowTargeting(Platform& platform, GridState& state, OverlayHost& overlay, const ScreenChoice& screens,
        std::function<void()> targetChanged);
    ~WindowTargeting();
    WindowTargeting(const WindowTargeting&) = delete;
    WindowTargeting& operator=(const WindowTargeting&) = delete;

    // Hides the grid and waits for one press; only while the grid is shown, one pick at a time.
    void startSelection();
    // where: the press, not where the pointer is by the time it is handled.
    void handleSelectionClick(Point where);
    // As if the window had been picked: a pending pick ends without its click.
    void follow(uint32_t id);
    void setFullScreen();

    // The topmost ordinary window of someone else under point, large enough to be meant.
    std::optional<uint32_t> findWindowAt(Point point) const;
    std::optional<Rect> windowBounds(uint32_t windowId) const;
    std::optional<WindowRecord> windowRecord(uint32_t windowId) const { return m_platform.windowRecord(windowId); }
    void applyTarget(uint32_t windowId);
    // The poll that keeps the grid on a moving window and notices it closing.
    void startTracking();
    void stopTracking();
    bool isTracking() const { return m_trackingTimer != 0; }

private:
    void target(uint32_t id);
    void endSelection();
    void stopSelecting();

    Platform& m_platform;
    GridState& m_state;
    OverlayHost& m_overlay;
    const ScreenChoice& m_screens;
    std::function<void()> m_targetChanged;
    WatchId m_clickGrab = 0;
    TimerId m_trackingTimer = 0;
    Lifeline m_life;
};

}
