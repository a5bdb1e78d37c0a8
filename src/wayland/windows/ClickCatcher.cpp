// The click-catching panes: clear, taking the pointer whole, with a crosshair over them.
#include "wayland/windows/ClickCatcher.h"

#include "wayland/overlay/LayerSurface.h"
#include "wayland/wl/SeatPointer.h"
#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <utility>

namespace tavelin::wayland::windows {

namespace {

void onConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height)
{
    auto& pane = *static_cast<ClickCatcher::Pane*>(data);
    pane.owner->configured(pane, serial, width, height);
}
void onClosed(void* data, zwlr_layer_surface_v1*) { static_cast<ClickCatcher::Pane*>(data)->owner->closed(); }
const zwlr_layer_surface_v1_listener layerListener = { onConfigure, onClosed };

}

ClickCatcher::ClickCatcher(wl::WaylandConnection& connection, std::function<void(core::Point)> pressed,
    std::function<void()> over)
    : m_connection(connection)
    , m_pressed(std::move(pressed))
    , m_over(std::move(over))
{
    for (auto* out : connection.outputs()) {
        // wl_output's own position is 0,0 on wlroots: the layout's comes from xdg-output.
        auto pane = std::make_unique<Pane>(Pane { this, wl::pointFrame(*out).origin(), out->scale });
        pane->surface = wl_compositor_create_surface(connection.compositor());
        pane->layer = overlay::coverOutput(connection, pane->surface, out->output, "tavelin-pick");
        zwlr_layer_surface_v1_add_listener(pane->layer, &layerListener, pane.get());
        // The default input region, the whole surface: every press lands here, none on a window.
        core::Point origin = pane->origin;
        connection.pointer().route(pane->surface, { [this, origin](core::Point p) { press({ origin.x + p.x, origin.y + p.y }); },
            [](core::Point) { }, [this](core::Point) { release(); }, "crosshair" });
        wl_surface_commit(pane->surface);
        m_panes.push_back(std::move(pane));
    }
    m_connection.flush();
}

ClickCatcher::~ClickCatcher()
{
    for (auto& pane : m_panes) {
        m_connection.pointer().forget(pane->surface);
        zwlr_layer_surface_v1_destroy(pane->layer);
        wl_surface_destroy(pane->surface);
    }
    m_connection.flush();
}

void ClickCatcher::configured(Pane& pane, uint32_t serial, uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(pane.layer, serial);
    // Clear pixels: the screen shows through unchanged while the pointer is taken.
    QImage clear(int(width) * pane.scale, int(height) * pane.scale, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    if (overlay::attachImage(m_connection, pane.surface, clear, pane.scale))
        wl_surface_commit(pane.surface);
    m_connection.flush();
}

// The press names the point; the panes stay until the release, which would otherwise reach
// whatever window lies below once they were gone.
void ClickCatcher::press(core::Point at)
{
    if (m_down || !m_pressed)
        return;
    m_down = true;
    std::exchange(m_pressed, nullptr)(at);
}

void ClickCatcher::release()
{
    if (m_down)
        closed();
}

void ClickCatcher::closed()
{
    if (auto over = std::exchange(m_over, nullptr))
        over();
}

}
