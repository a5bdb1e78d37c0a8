// Picking a window by clicking it, following it, and returning to the full screen.
#include "core/WindowTargeting.h"

#include <utility>

namespace tavelin::core {

namespace {
constexpr double defaultPollInterval = 0.2;
// One display frame: a window dragged faster than that moves the grid once a frame.
constexpr double framePeriod = 1.0 / 60;
constexpr double minimumHitSize = 50;
}

WindowTargeting::WindowTargeting(Platform& platform, GridState& state, OverlayHost& overlay,
    const ScreenChoice& screens, std::function<void()> targetChanged)
    : m_platform(platform)
    , m_state(state)
    , m_overlay(overlay)
    , m_screens(screens)
    , m_targetChanged(std::move(targetChanged))
    , m_pollInterval(defaultPollInterval)
{
}

WindowTargeting::~WindowTargeting()
{
    stopTracking();
    if (m_clickGrab)
        m_platform.stopWatching(m_clickGrab);
}

void WindowTargeting::startSelection()
{
    if (!m_state.isVisible())
        return;
    // One pending selection at a time: a second pointer grab could never be undone with the first.
    if (m_state.isSelectingWindow())
        return;
    m_state.setIsSelectingWindow(true);
    m_overlay.setClickThrough(true);
    m_overlay.hide();
    m_clickGrab = m_platform.grabNextClick(m_life.guard([this](Point where) { handleSelectionClick(where); }),
        m_life.guard([this] { endSelection(); }));
    // Without a grab no click could ever end the selection and the grid would stay hidden.
    if (!m_clickGrab)
        endSelection();
}

// Undoes what starting a selection set up: the pointer grab and the flag.
void WindowTargeting::stopSelecting()
{
    if (m_clickGrab) {
        m_platform.stopWatching(m_clickGrab);
        m_clickGrab = 0;
    }
    m_state.setIsSelectingWindow(false);
}

// Ends a selection that got no click: the target stays as it was.
void WindowTargeting::endSelection()
{
    if (!m_state.isSelectingWindow())
        return;
    stopSelecting();
    m_overlay.restoreAfterPick();
}

void WindowTargeting::handleSelectionClick(Point where)
{
    stopSelecting();
    if (!m_screens.frame()) {
        // Nothing to hit-test against: keep the target, but never leave the grid hidden.
        m_overlay.restoreAfterPick();
        return;
    }
    if (auto hit = findWindowAt(where))
        target(*hit);
    else
        setFullScreen();
    m_overlay.restoreAfterPick();
    m_targetChanged();
}

void WindowTargeting::target(uint32_t id)
{
    m_state.setTargetMode(TargetMode::window(id));
    m_platform.targetWindowChanged(id);
    applyTarget(id);
    // A hidden grid stays hidden; showing it again resumes tracking.
    if (m_state.isVisible())
        startTracking();
}

void WindowTargeting::follow(uint32_t id)
{
    endSelection();
    target(id);
    m_targetChanged();
}

std::optional<uint32_t> WindowTargeting::findWindowAt(Point point) const
{
    auto ownPid = m_platform.processId();
    for (auto& record : m_platform.visibleWindows()) {
        if (!record.bounds || !record.id)
            continue;
        // Our windows are known by id; a pid, when a client sets one, only adds to that.
        if (m_platform.isOwnWindow(*record.id) || record.pid == ownPid)
            continue;
        if (record.layer && *record.layer != 0)
            continue;
        const Rect& b = *record.bounds;
        if (!b.contains(point))
            continue;
        if (b.width > minimumHitSize && b.height > minimumHitSize)
            return record.id;
    }
    return std::nullopt;
}

// A window that is there but not shown (minimized, on another desktop) keeps the grid off the
// screen until it comes back, at wherever it is then.
void WindowTargeting::applyTarget(uint32_t windowId)
{
    if (auto record = m_platform.windowRecord(windowId); record && record->bounds)
        lay(*record);
}

void WindowTargeting::lay(const WindowRecord& record)
{
    if (!m_screens.frame())
        return;
    if (record.shown && m_overlay.exists())
        m_overlay.place(*record.bounds);
    bool cameBack = record.shown && !m_overlay.isTargetShown();
    m_overlay.setTargetShown(record.shown);
    // Back unless the grid was hidden meanwhile, or a pick keeps the screen clear for its click.
    if (cameBack && m_state.isVisible() && !m_state.isSelectingWindow())
        m_overlay.show();
}

void WindowTargeting::startTracking()
{
    stopTracking();
    m_trackingTimer = m_platform.startRepeatingTimer(m_pollInterval, m_life.guard([this] { followTarget(); }));
    if (auto target = m_state.targetMode().windowId(); target && !m_pollOnly)
        m_boundsWatch = m_platform.watchWindowBounds(*target, m_life.guard([this] { boundsChanged(); }));
}

void WindowTargeting::stopTracking()
{
    if (m_trackingTimer)
        m_platform.stopTimer(m_trackingTimer);
    m_trackingTimer = 0;
    if (m_boundsWatch)
        m_platform.stopWatching(m_boundsWatch);
    m_boundsWatch = 0;
}

void WindowTargeting::setPollInterval(double seconds)
{
    if (!(seconds > 0))
        return;
    m_pollInterval = seconds;
    if (isTracking())
        startTracking();
}

void WindowTargeting::followTarget()
{
    auto target = m_state.targetMode().windowId();
    if (!target)
        return;
    // One reading of the window per poll or event: it is a round trip to the display server.
    auto record = m_platform.windowRecord(*target);
    if (!record || !record->bounds)
        setFullScreen();
    else
        lay(*record);
}

// The first change of a burst moves the grid at once; the rest wait for the frame to pass.
void WindowTargeting::boundsChanged()
{
    if (!isTracking())
        return;
    if (m_settling) {
        m_changedWhileSettling = true;
        return;
    }
    followTarget();
    if (!isTracking())
        return;
    m_settling = true;
    m_platform.postDelayed(framePeriod, m_life.guard([this] { endSettling(); }));
}

void WindowTargeting::endSettling()
{
    m_settling = false;
    if (std::exchange(m_changedWhileSettling, false))
        boundsChanged();
}

void WindowTargeting::setFullScreen()
{
    stopTracking();
    bool wasWindow = m_state.targetMode().isWindow();
    m_state.setTargetMode(TargetMode::fullScreen());
    m_overlay.setTargetShown(true);
    if (wasWindow)
        m_platform.targetWindowChanged(0);
    if (auto screen = m_screens.frame(); screen && m_overlay.exists())
        m_overlay.place(*screen);
    // A hidden grid stays hidden, and a pending selection keeps the screen clear for its click.
    if (m_state.isVisible() && !m_state.isSelectingWindow())
        m_overlay.show();
    m_targetChanged();
}

}
