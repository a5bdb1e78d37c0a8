// What the window-source tests read off a list of windows: their ids and which are shown, in order.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <optional>
#include <vector>

namespace tavelin::test {

// One field of each window, in order.
template<typename T>
std::vector<T> each(const std::vector<wayland::windows::Window>& windows, T wayland::windows::Window::*field)
{
    std::vector<T> out;
    for (auto& w : windows)
        out.push_back(w.*field);
    return out;
}

inline std::vector<uint32_t> windowIds(const std::vector<wayland::windows::Window>& windows)
{
    return each(windows, &wayland::windows::Window::id);
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
    return each(windows, &wayland::windows::Window::shown);
}

}
