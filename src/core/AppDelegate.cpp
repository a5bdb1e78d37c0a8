// Launch, the overlay window, teardown, and the grid commands of the menu and shortcuts.
#include "core/AppDelegate.h"

#include <cassert>

namespace tavelin::core {

AppDelegate::AppDelegate(Platform& platform)
    : m_platform(platform)
{
}

AppDelegate::~AppDelegate()
{
    *m_alive = false;
    if (m_desktopKeys)
        m_platform.stopWatching(m_desktopKeys);
    if (m_ownKeys)
        m_platform.stopWatching(m_ownKeys);
    stopTrackingTimer();
    if (m_clickGrab)
        m_platform.stopWatching(m_clickGrab);
    // Our windows go now, while the application they belong to is still there; the window goes
    // before the view it hosts, which unsubscribes from the state.
    m_flashes.clear();
    m_overlayWindow.reset();
    m_view.reset();
}

void AppDelegate::launch()
{
    setupOverlayWindow();
    setupTray();
    setupShortcuts();
    std::weak_ptr<bool> alive = m_alive;
    m_platform.watchScreens([this, alive] {
        if (alive.lock())
            screensChanged();
    });
}

void AppDelegate::setupOverlayWindow()
{
    auto screen = fullScreenFrame();
    if (!screen)
        return;
    m_view = std::make_unique<TavelinView>(m_gridState);
    m_overlayWindow = m_platform.createOverlayWindow(*screen, *m_view);
    if (!m_overlayWindow) {
        m_view.reset();
        return;
    }
    auto* window = m_overlayWindow.get();
    m_view->setUpdateHandler([window] { window->update(); });
    window->setClickThrough(true);
    window->show();
}

void AppDelegate::toggleGrid()
{
    m_gridState.setIsVisible(!m_gridState.isVisible());
    if (!m_gridState.isVisible()) {
        m_gridState.setIsAdjusting(false);
        if (m_overlayWindow) {
            m_overlayWindow->setClickThrough(true);
            m_overlayWindow->hide();
        }
        stopTrackingTimer();
        return;
    }
    if (m_overlayWindow)
        m_overlayWindow->show();
    if (m_gridState.targetMode().isWindow())
        startTrackingWindow();
}

void AppDelegate::setGridColor(GridColor color)
{
    m_gridState.setGridColor(color);
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
        m_overlayWindow->setClickThrough(!m_gridState.isAdjusting());
}

void AppDelegate::setSize(double value) { setCellSize(value, value); }

void AppDelegate::setCellSize(double width, double height)
{
    m_gridState.setCellWidth(width);
    m_gridState.setCellHeight(height);
}

void AppDelegate::quitApp() { m_platform.quit(); }

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
    case Command::setGridColor:
        if (item.color)
            setGridColor(*item.color);
        return;
    case Command::toggleCellLabels: return toggleCellLabels();
    case Command::takeScreenshot: return takeScreenshot();
    case Command::toggleAdjustMode: return toggleAdjustMode();
    case Command::quitApp: return quitApp();
    }
}

}
