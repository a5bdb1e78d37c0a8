// Launch, the overlay window, teardown, and the grid commands of the menu and shortcuts.
#include "AppDelegate.h"

#include <cassert>

namespace tavelin {

AppDelegate::AppDelegate(Platform& platform)
    : m_platform(platform)
{
}

AppDelegate::~AppDelegate()
{
    *m_alive = false;
    if (m_globalMonitor)
        m_platform.removeMonitor(m_globalMonitor);
    if (m_localMonitor)
        m_platform.removeMonitor(m_localMonitor);
    stopTrackingTimer();
    if (m_clickMonitor) {
        m_platform.removeMonitor(m_clickMonitor);
        m_platform.popCursor();
    }
    // The view unsubscribes from the state; the window goes before the view it hosts.
    m_overlayWindow.reset();
    m_view.reset();
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_platform.setAccessoryActivationPolicy();
    setupOverlayWindow();
    setupMenuBar();
    setupKeyMonitors();
}

void AppDelegate::setupOverlayWindow()
{
    auto screen = m_platform.mainScreenFrame();
    if (!screen)
        return;
    m_view = std::make_unique<TavelinView>(m_gridState);
    m_overlayWindow = m_platform.createOverlayWindow(*screen, *m_view);
    if (!m_overlayWindow) {
        m_view.reset();
        return;
    }
    auto* window = m_overlayWindow.get();
    m_view->setNeedsDisplayHandler([window] { window->setNeedsDisplay(); });
    window->setIgnoresMouseEvents(true);
    window->orderFront();
}

void AppDelegate::toggleGrid()
{
    m_gridState.setIsVisible(!m_gridState.isVisible());
    if (!m_gridState.isVisible()) {
        m_gridState.setIsAdjusting(false);
        if (m_overlayWindow) {
            m_overlayWindow->setIgnoresMouseEvents(true);
            m_overlayWindow->orderOut();
        }
        stopTrackingTimer();
        return;
    }
    if (m_overlayWindow)
        m_overlayWindow->orderFront();
    if (m_gridState.targetMode().isWindow())
        startTrackingWindow();
}

void AppDelegate::setGridColor(const std::optional<std::string>& representedObject)
{
    if (!representedObject)
        return;
    auto color = gridColorFromRawValue(*representedObject);
    if (!color)
        return;
    m_gridState.setGridColor(*color);
    rebuildMenu();
}

void AppDelegate::toggleCellLabels()
{
    m_gridState.setShowCellLabels(!m_gridState.showCellLabels());
    rebuildMenu();
}

void AppDelegate::toggleAdjustMode()
{
    if (!m_gridState.isVisible())
        return;
    m_gridState.setIsAdjusting(!m_gridState.isAdjusting());
    if (m_overlayWindow)
        m_overlayWindow->setIgnoresMouseEvents(!m_gridState.isAdjusting());
}

void AppDelegate::setSize(double value)
{
    m_gridState.setCellWidth(value);
    m_gridState.setCellHeight(value);
}

void AppDelegate::quitApp() { m_platform.terminate(); }

void AppDelegate::perform(const MenuItem& item)
{
    switch (item.action) {
    case Command::none: return;
    case Command::toggleGrid: return toggleGrid();
    case Command::setSizeLarge: return setSizeLarge();
    case Command::setSizeMedium: return setSizeMedium();
    case Command::setSizeSmall: return setSizeSmall();
    case Command::setTargetFullScreen: return setTargetFullScreen();
    case Command::startWindowSelection: return startWindowSelection();
    case Command::setGridColor: return setGridColor(item.representedObject);
    case Command::toggleCellLabels: return toggleCellLabels();
    case Command::takeScreenshot: return takeScreenshot();
    case Command::toggleAdjustMode: return toggleAdjustMode();
    case Command::quitApp: return quitApp();
    }
}

}
