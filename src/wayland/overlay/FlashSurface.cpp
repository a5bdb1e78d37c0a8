// The flash pane: painted once when the compositor sizes it, gone with hide().
#include "wayland/overlay/FlashSurface.h"

#include "wayland/overlay/LayerSurface.h"
#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <QColor>

namespace tavelin::wayland::overlay {

namespace {

constexpr float flashAlpha = 0.3f; // as on X11

void onConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height)
{
    static_cast<FlashSurface*>(data)->configured(serial, width, height);
}
void onClosed(void* data, zwlr_layer_surface_v1*) { static_cast<FlashSurface*>(data)->hide(); }
const zwlr_layer_surface_v1_listener layerListener = { onConfigure, onClosed };

}

FlashSurface::FlashSurface(wl::WaylandConnection& connection, wl_output* output, int scale)
    : m_connection(connection)
    , m_output(output)
    , m_scale(scale)
{
}

FlashSurface::~FlashSurface() { hide(); }

void FlashSurface::show()
{
    if (!m_surface)
        openLayerSurface(m_connection, m_output, "tavelin-flash", &layerListener, this, m_surface, m_layer);
}

void FlashSurface::hide() { closeLayerSurface(m_connection, m_surface, m_layer); }

void FlashSurface::configured(uint32_t serial, uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    QImage pane(int(width) * m_scale, int(height) * m_scale, QImage::Format_ARGB32_Premultiplied);
    pane.fill(QColor::fromRgbF(1, 1, 1, flashAlpha));
    if (attachImage(m_connection, m_surface, pane, m_scale))
        wl_surface_commit(m_surface);
    m_connection.flush();
}

}
