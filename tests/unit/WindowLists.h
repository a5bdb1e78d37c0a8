// What the window-source tests read off a list of windows: their ids and which are shown, in order.
#pragma once

#include "wayland/windows/WindowSource.h"

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

inline std::vector<bool> shownFlags(const std::vector<wayland::windows::Window>& windows)
{
    return each(windows, &wayland::windows::Window::shown);
}

}
