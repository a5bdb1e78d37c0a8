// Finding the grid's screen among the ones the platform reports now.
#include "core/ScreenChoice.h"

#include <algorithm>

namespace tavelin::core {

std::optional<ScreenInfo> ScreenChoice::current() const
{
    auto all = m_platform.screens();
    auto chosen = std::find_if(all.begin(), all.end(), [this](auto& s) { return s.name == m_name; });
    if (chosen == all.end())
        chosen = std::find_if(all.begin(), all.end(), [](auto& s) { return s.primary; });
    if (chosen == all.end())
        return std::nullopt;
    return *chosen;
}

std::optional<Rect> ScreenChoice::frame() const
{
    if (auto screen = current())
        return screen->frame;
    return m_platform.primaryScreenFrame();
}

std::string ScreenChoice::name() const
{
    auto screen = current();
    return screen ? screen->name : std::string();
}

void ScreenChoice::forgetIfGone()
{
    auto all = m_platform.screens();
    if (std::none_of(all.begin(), all.end(), [this](auto& s) { return s.name == m_name; }))
        m_name.clear();
}

}
