// The screens: which one the full-screen grid covers, and re-fitting it when screens change.
#include "core/AppDelegate.h"

#include <algorithm>

namespace tavelin::core {

std::optional<ScreenInfo> AppDelegate::fullScreen() const
{
    auto all = m_platform.screens();
    auto chosen = std::find_if(all.begin(), all.end(), [this](auto& s) { return s.name == m_screenName; });
    if (chosen == all.end())
        chosen = std::find_if(all.begin(), all.end(), [](auto& s) { return s.primary; });
    if (chosen == all.end())
        return std::nullopt;
    return *chosen;
}

std::optional<Rect> AppDelegate::fullScreenFrame() const
{
    if (auto screen = fullScreen())
        return screen->frame;
    return m_platform.primaryScreenFrame();
}

std::string AppDelegate::fullScreenName() const
{
    auto screen = fullScreen();
    return screen ? screen->name : std::string();
}

void AppDelegate::setFullScreenScreen(const std::string& name)
{
    m_screenName = name;
    setTargetFullScreen();
}

Rect AppDelegate::gridFrame() const
{
    if (m_overlayWindow)
        return m_overlayWindow->frame();
    return fullScreenFrame().value_or(Rect {});
}

// A screen that is gone gives the grid back to the primary one; the full-screen grid re-fits at once.
void AppDelegate::screensChanged()
{
    auto all = m_platform.screens();
    if (std::none_of(all.begin(), all.end(), [this](auto& s) { return s.name == m_screenName; }))
        m_screenName.clear();
    auto frame = fullScreenFrame();
    if (frame && m_overlayWindow && m_gridState.targetMode().isFullScreen())
        placeOverlay(*frame);
    else if (m_changed)
        m_changed();
}

void AppDelegate::placeOverlay(const Rect& frame)
{
    if (m_overlayWindow)
        m_overlayWindow->setFrame(frame);
    if (m_changed)
        m_changed();
}

}
