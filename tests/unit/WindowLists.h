// What the window-source tests read off a list of windows: their ids and which are shown, in order.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <vector>

namespace tavelin::test {

inline std::vector<uint32_t> windowIds(const std::vector<wayland::windows::Window>& windows)
{
    std::vector<uint32_t> out;
    for (auto& w : windows)
        out.push_back(w.id);
    return out;
}

inline std::vector<bool> shownFlags(const std::vector<wayland::windows::Window>& windows)
{
    std::vector<bool> out;
    for (auto& w : windows)
        out.push_back(w.shown);
    return out;
}

}
