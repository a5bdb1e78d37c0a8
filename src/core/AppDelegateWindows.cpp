// Window targeting: picking a window by clicking it, following it, and returning to the full screen.
#include "core/AppDelegate.h"

namespace tavelin::core {

namespace {
constexpr double trackingInterval = 0.2;
constexpr double minimumHitSize = 50;
}

void AppDelegate::startWindowSelection()
{
    if (!m_gridState.isVisible())
        return;
    // One pending selection at a time: a second pointer grab could never be undone with the first.
    if (m_gridState.isSelectingWindow())
        return;
    m_gridState.setIsSelectingWindow(true);
    if (m_overlayWindow) {
        m_overlayWindow->setClickThrough(true);
        m_overlayWindow->hide();
    }
    std::weak_ptr<bool> alive = m_alive;
    m_clickGrab = m_platform.grabNextClick(
        [this, alive](Point where) {
            if (alive.lock())
                handleWindowSelectionClick(where);
        },
        [this, alive] {
            if (alive.lock())
                endWindowSelection();
        });
    // Without a grab no click could ever end the selection and the grid would stay hidden.
    if (!m_clickGrab)
        endWindowSelection();
}

// Undoes what starting a selection set up: the pointer grab and the flag.
void AppDelegate::stopSelecting()
{
    if (m_clickGrab) {
        m_platform.stopWatching(m_clickGrab);
        m_clickGrab = 0;
    }
    m_gridState.setIsSelectingWindow(false);
}

// Brings the grid back after a selection, unless it was hidden meanwhile. Adjust mode survives a
// selection: the overlay takes the mouse again if it was taking it.
void AppDelegate::showOverlayAfterSelection()
{
    if (!m_overlayWindow || !m_gridState.isVisible())
        return;
    m_overlayWindow->setClickThrough(!m_gridState.isAdjusting());
    m_overlayWindow->show();
}

// Ends a selection that got no click: the target stays as it was.
void AppDelegate::endWindowSelection()
{
    if (!m_gridState.isSelectingWindow())
        return;
    stopSelecting();
    showOverlayAfterSelection();
}

// where: the press, not where the pointer is by the time it is handled.
void AppDelegate::handleWindowSelectionClick(Point where)
{
    stopSelecting();
    if (!fullScreenFrame()) {
        // Nothing to hit-test against: keep the target, but never leave the grid hidden.
        showOverlayAfterSelection();
        return;
    }
    auto hit = findWindowAt(where);
    if (hit) {
        targetWindow(*hit);
    } else {
        setTargetFullScreen();
    }
    showOverlayAfterSelection();
    rebuildMenu();
}

void AppDelegate::targetWindow(uint32_t id)
{
    m_gridState.setTargetMode(TargetMode::window(id));
    m_platform.targetWindowChanged(id);
    applyWindowTarget(id);
    // A hidden grid stays hidden; showing it again resumes tracking.
    if (m_gridState.isVisible())
        startTrackingWindow();
}

// As if the window had been picked: a pending pick ends without its click.
void AppDelegate::followWindow(uint32_t id)
{
    endWindowSelection();
    targetWindow(id);
    rebuildMenu();
}

std::optional<uint32_t> AppDelegate::findWindowAt(Point point)
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

std::optional<Rect> AppDelegate::getWindowBounds(uint32_t windowId)
{
    auto record = m_platform.windowRecord(windowId);
    if (!record)
        return std::nullopt;
    return record->bounds;
}

void AppDelegate::applyWindowTarget(uint32_t windowId)
{
    if (!fullScreenFrame())
        return;
    auto bounds = getWindowBounds(windowId);
    if (!bounds)
        return;
    if (m_overlayWindow)
        placeOverlay(*bounds);
}

void AppDelegate::startTrackingWindow()
{
    stopTrackingTimer();
    std::weak_ptr<bool> alive = m_alive;
    m_trackingTimer = m_platform.startRepeatingTimer(trackingInterval, [this, alive] {
        if (!alive.lock())
            return;
        auto target = m_gridState.targetMode().windowId();
        if (!target)
            return;
        if (!getWindowBounds(*target))
            setTargetFullScreen();
        else
            applyWindowTarget(*target);
    });
}

void AppDelegate::stopTrackingTimer()
{
    if (m_trackingTimer)
        m_platform.stopTimer(m_trackingTimer);
    m_trackingTimer = 0;
}

void AppDelegate::setTargetFullScreen()
{
    stopTrackingTimer();
    bool wasWindow = m_gridState.targetMode().isWindow();
    m_gridState.setTargetMode(TargetMode::fullScreen());
    if (wasWindow)
        m_platform.targetWindowChanged(0);
    if (auto screen = fullScreenFrame(); screen && m_overlayWindow)
        placeOverlay(*screen);
    // A hidden grid stays hidden, and a pending selection keeps the screen clear for its click.
    if (m_overlayWindow && m_gridState.isVisible() && !m_gridState.isSelectingWindow())
        m_overlayWindow->show();
    rebuildMenu();
}

}
