// What a compositor's own interface tells of other clients' windows: the list, the window at a
// point, and reports when one moves, resizes, closes or changes workspace or state.
#pragma once

#include "core/Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavelin::wayland::windows {

struct Window {
    uint32_t id = 0; // the compositor's id (sway con_id; Hyprland's address, its low 32 bits)
    int32_t pid = 0;
    core::Rect frame; // decorations included, in points (the compositor's layout coordinates)
    bool shown = true; // on a workspace now shown, not behind another tab
    bool floating = false;
    bool fullscreen = false;
};

class WindowSource {
public:
    virtual ~WindowSource() = default;
    // Every window: the shown ones first, frontmost first (fullscreen above floating above tiled).
    // Empty when the compositor cannot be asked.
    virtual std::vector<Window> windows() = 0;
    std::optional<Window> window(uint32_t id);
    // Runs changed on the event loop after any window moved, resized, closed, was made floating or
    // fullscreen, or a workspace was shown or hidden. One watcher; a later call replaces it.
    virtual void watch(std::function<void()> changed) = 0;
    // False where the reports leave out some moves and resizes: then only looking again finds them.
    virtual bool reportsMoves() const { return true; }
};

// The interface of the compositor this session runs on, by its environment; none (GNOME and other
// desktops without one) when it offers none.
std::unique_ptr<WindowSource> compositorWindows();

}
