// Window targeting: picking a window by clicking it, following it, and returning to the full screen.
#include "AppDelegate.h"

namespace tavelin {

namespace {
constexpr double trackingInterval = 0.2;
constexpr double minimumHitSize = 50;
}

void AppDelegate::startWindowSelection()
{
    if (!m_gridState.isVisible())
        return;
    // One pending selection at a time: a second monitor and cursor could never both be undone.
    if (m_gridState.isSelectingWindow())
        return;
    m_gridState.setIsSelectingWindow(true);
    if (m_overlayWindow) {
        m_overlayWindow->setIgnoresMouseEvents(true);
        m_overlayWindow->orderOut();
    }
    m_platform.pushCrosshairCursor();
    std::weak_ptr<bool> alive = m_alive;
    m_clickMonitor = m_platform.addGlobalClickMonitor(
        [this, alive] {
            if (alive.lock())
                handleWindowSelectionClick();
        },
        [this, alive] {
            if (alive.lock())
                endWindowSelection();
        });
    // Without a monitor no click could ever end the selection and the grid would stay hidden.
    if (!m_clickMonitor)
        endWindowSelection();
}

// Undoes what starting a selection set up: the click monitor, the cursor, the flag.
void AppDelegate::stopSelecting()
{
    if (m_clickMonitor) {
        m_platform.removeMonitor(m_clickMonitor);
        m_clickMonitor = 0;
    }
    m_platform.popCursor();
    m_gridState.setIsSelectingWindow(false);
}

// Brings the grid back after a selection, unless it was hidden meanwhile. Adjust mode survives a
// selection: the overlay takes the mouse again if it was taking it.
void AppDelegate::showOverlayAfterSelection()
{
    if (!m_overlayWindow || !m_gridState.isVisible())
        return;
    m_overlayWindow->setIgnoresMouseEvents(!m_gridState.isAdjusting());
    m_overlayWindow->orderFront();
}

// Ends a selection that got no click: the target stays as it was.
void AppDelegate::endWindowSelection()
{
    if (!m_gridState.isSelectingWindow())
        return;
    stopSelecting();
    showOverlayAfterSelection();
}

void AppDelegate::handleWindowSelectionClick()
{
    stopSelecting();
    auto location = m_platform.pointerLocation();
    if (!m_platform.mainScreenFrame() || !location) {
        // Nothing to hit-test against: keep the target, but never leave the grid hidden.
        showOverlayAfterSelection();
        return;
    }
    auto hit = findWindowAt(coordinates::screenToWindowServer(*location));
    if (hit) {
        m_gridState.setTargetMode(TargetMode::window(*hit));
        m_platform.targetWindowChanged(*hit);
        applyWindowTarget(*hit);
        // A hidden grid stays hidden; showing it again resumes tracking.
        if (m_gridState.isVisible())
            startTrackingWindow();
    } else {
        setTargetFullScreen();
    }
    showOverlayAfterSelection();
    rebuildMenu();
}

std::optional<uint32_t> AppDelegate::findWindowAt(Point point)
{
    auto ownPid = m_platform.processId();
    for (auto& record : m_platform.onScreenWindows()) {
        if (!record.bounds || !record.number || !record.ownerPid)
            continue;
        if (*record.ownerPid == ownPid || m_platform.isOwnWindow(*record.number))
            continue;
        if (record.layer && *record.layer != 0)
            continue;
        const Rect& b = *record.bounds;
        if (!b.contains(point))
            continue;
        if (b.width > minimumHitSize && b.height > minimumHitSize)
            return record.number;
    }
    return std::nullopt;
}

std::optional<Rect> AppDelegate::getWindowBounds(uint32_t number)
{
    auto records = m_platform.windowInfo(number);
    if (records.empty())
        return std::nullopt;
    return records.front().bounds;
}

void AppDelegate::applyWindowTarget(uint32_t number)
{
    if (!m_platform.mainScreenFrame())
        return;
    auto bounds = getWindowBounds(number);
    if (!bounds)
        return;
    if (m_overlayWindow)
        m_overlayWindow->setFrame(coordinates::windowServerToScreen(*bounds));
}

void AppDelegate::startTrackingWindow()
{
    stopTrackingTimer();
    std::weak_ptr<bool> alive = m_alive;
    m_trackingTimer = m_platform.startRepeatingTimer(trackingInterval, [this, alive] {
        if (!alive.lock())
            return;
        auto target = m_gridState.targetMode().windowNumber();
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
    if (auto screen = m_platform.mainScreenFrame(); screen && m_overlayWindow)
        m_overlayWindow->setFrame(*screen);
    // A hidden grid stays hidden, and a pending selection keeps the screen clear for its click.
    if (m_overlayWindow && m_gridState.isVisible() && !m_gridState.isSelectingWindow())
        m_overlayWindow->orderFront();
    rebuildMenu();
}

}
