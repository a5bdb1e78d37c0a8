// Picking a window by a click on Wayland: a clear layer surface over every output takes the next
// left press, so the press reaches no window and its place is known in global coordinates.
#pragma once

#include "core/Geometry.h"

#include <functional>
#include <memory>
#include <vector>

struct wl_surface;
struct zwlr_layer_surface_v1;

namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::windows {

class ClickCatcher {
public:
    // pressed: the left press, in global points, once. over: the button went up again (or the pointer
    // left with it down, or the compositor took the surfaces away): the catcher may go now.
    ClickCatcher(wl::WaylandConnection& connection, std::function<void(core::Point)> pressed,
        std::function<void()> over);
    ~ClickCatcher();
    ClickCatcher(const ClickCatcher&) = delete;
    ClickCatcher& operator=(const ClickCatcher&) = delete;

    // One per output; called by the layer-surface listener.
    struct Pane {
        ClickCatcher* owner;
        core::Point origin;
        int scale;
        wl_surface* surface = nullptr;
        zwlr_layer_surface_v1* layer = nullptr;
    };
    void configured(Pane& pane, uint32_t serial, uint32_t width, uint32_t height);
    void closed();

private:
    void press(core::Point at);
    void release();

    wl::WaylandConnection& m_connection;
    std::function<void(core::Point)> m_pressed;
    std::function<void()> m_over;
    std::vector<std::unique_ptr<Pane>> m_panes;
    bool m_down = false;
};

}
