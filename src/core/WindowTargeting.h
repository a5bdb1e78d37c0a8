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
    std::optional<WindowRecord> windowRecord(uint32_t windowId) const { return m_platform.windowRecord(windowId); }
    void applyTarget(uint32_t windowId);
    // Keeps the grid on the target: the desktop's word that it moved lays the grid on it at once,
    // at most once a frame, and a slow poll catches whatever that word missed (or all of it, on a
    // desktop that says nothing), including the window closing.
    void startTracking();
    void stopTracking();
    bool isTracking() const { return m_trackingTimer != 0; }
    // Seconds between polls; tests lengthen it to show that the desktop's word alone suffices.
    void setPollInterval(double seconds);
    // The poll alone, as if the desktop said nothing (to measure one beside the other).
    void setPollOnly(bool pollOnly) { m_pollOnly = pollOnly; }
    // The target may have moved, changed size or gone (the platform's bounds watch calls this).
    void boundsChanged();

private:
    void target(uint32_t id);
    void endSelection();
    void stopSelecting();
    void followTarget();
    // Lays the grid on a target read just now (bounds set); keeps it off while the window is not shown.
    void lay(const WindowRecord& record);
    void endSettling();

    Platform& m_platform;
    GridState& m_state;
    OverlayHost& m_overlay;
    const ScreenChoice& m_screens;
    std::function<void()> m_targetChanged;
    WatchId m_clickGrab = 0;
    TimerId m_trackingTimer = 0;
    WatchId m_boundsWatch = 0;
    double m_pollInterval;
    bool m_pollOnly = false;
    // A frame's time after laying the grid on the target, later changes wait and go as one.
    bool m_settling = false;
    bool m_changedWhileSettling = false;
    Lifeline m_life;
};

}
