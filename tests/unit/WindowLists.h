// What the window-source tests read off a list of windows: their ids and which are shown, in order.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <optional>
#include <vector>

namespace tavelin::test {

inline std::vector<uint32_t> windowIds(const std::vector<wayland::windows::Window>& windows)
{
    std::vector<uint32_t> out;
    for (auto& w : windows)
        out.push_back(w.id);
    return out;
}

// The window a pick at point finds: the core takes the first window of visibleWindows() (the shown
// ones, in the source's order) that holds the point, so the order the source gives is what decides.
inline std::optional<wayland::windows::Window> windowAt(const std::vector<wayland::windows::Window>& windows,
    core::Point point)
{
    for (auto& w : windows)
        if (w.shown && w.frame.contains(point))
            return w;
    return std::nullopt;
}

inline std::vector<bool> shownFlags(const std::vector<wayland::windows::Window>& windows)
{
    std::vector<bool> out;
    for (auto& w : windows)
        out.push_back(w.shown);
    return out;
}

}
