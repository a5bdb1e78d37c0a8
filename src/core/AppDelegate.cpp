// Launch, and the grid commands of the menu, the shortcuts and scripts.
#include "core/AppDelegate.h"

namespace tavelin::core {

AppDelegate::AppDelegate(Platform& platform)
    : m_platform(platform)
    , m_screens(platform)
    , m_overlay(platform, m_gridState)
    , m_menu(platform, m_gridState, [this](const MenuItem& item) { perform(item); })
    , m_windows(platform, m_gridState, m_overlay, m_screens, [this] { m_menu.rebuild(); })
    , m_screenshot(platform, m_gridState, m_overlay, m_screens, m_windows)
    , m_shortcuts(platform, [this](ShortcutKey key) { runShortcut(key); })
{
}

void AppDelegate::launch()
{
    if (auto screen = m_screens.frame())
        m_overlay.create(*screen);
    m_menu.create();
    m_shortcuts.watch();
    m_platform.watchScreens(m_life.guard([this] { screensChanged(); }));
}

void AppDelegate::toggleGrid()
{
    m_gridState.setIsVisible(!m_gridState.isVisible());
    if (!m_gridState.isVisible()) {
        m_gridState.setIsAdjusting(false);
        m_overlay.setClickThrough(true);
        m_overlay.hide();
        m_windows.stopTracking();
        return;
    }
    // The window may have been minimized, moved or shown again while the grid was hidden.
    if (auto target = m_gridState.targetMode().windowId())
        m_windows.applyTarget(*target);
    // A pending pick keeps the screen clear: its click brings the grid back.
    if (!m_gridState.isSelectingWindow())
        m_overlay.show();
    if (m_gridState.targetMode().isWindow())
        m_windows.startTracking();
}

void AppDelegate::setGridColor(GridColor color)
{
    m_gridState.setGridColor(color);
    m_menu.rebuild();
}

void AppDelegate::toggleCellLabels()
{
    m_gridState.setShowCellLabels(!m_gridState.showCellLabels());
    m_menu.rebuild();
}

void AppDelegate::toggleAdjustMode()
{
    if (!m_gridState.isVisible())
        return;
    m_gridState.setIsAdjusting(!m_gridState.isAdjusting());
    m_overlay.setClickThrough(!m_gridState.isAdjusting());
}

void AppDelegate::setCellSize(double width, double height)
{
    m_gridState.setCellWidth(width);
    m_gridState.setCellHeight(height);
}

void AppDelegate::quitApp() { m_platform.quit(); }

void AppDelegate::setFullScreenScreen(const std::string& name)
{
    m_screens.choose(name);
    m_windows.setFullScreen();
}

Rect AppDelegate::gridFrame() const
{
    if (auto frame = m_overlay.frame())
        return *frame;
    return m_screens.frame().value_or(Rect {});
}

// The full-screen grid re-fits its screen at once; a window target keeps the grid where it is.
void AppDelegate::screensChanged()
{
    m_screens.forgetIfGone();
    auto frame = m_screens.frame();
    if (frame && m_overlay.exists() && m_gridState.targetMode().isFullScreen())
        m_overlay.place(*frame);
    else
        m_overlay.changed();
}

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
    case Command::takeScreenshot:
        m_platform.waitForMenuGone();
        return takeScreenshot();
    case Command::toggleAdjustMode: return toggleAdjustMode();
    case Command::quitApp: return quitApp();
    }
}

void AppDelegate::runShortcut(ShortcutKey key)
{
    switch (key) {
    case ShortcutKey::g: return toggleGrid();
    case ShortcutKey::w: return startWindowSelection();
    case ShortcutKey::l: return toggleCellLabels();
    case ShortcutKey::s: return takeScreenshot();
    case ShortcutKey::a: return toggleAdjustMode();
    case ShortcutKey::none: return;
    }
}

}
