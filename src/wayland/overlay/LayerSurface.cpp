// Layer-surface set-up and buffers, shared by the overlay and the flash.
#include "wayland/overlay/LayerSurface.h"

#include "shared/paint/OverlayRender.h"
#include "wayland/overlay/ShmBuffer.h"
#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavelin::wayland::overlay {

zwlr_layer_surface_v1* coverOutput(wl::WaylandConnection& connection, wl_surface* surface, wl_output* output,
    const char* name)
{
    auto* layer = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface, output,
        ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, name);
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
            | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer, 0);
    return layer;
}

void placeOnOutput(zwlr_layer_surface_v1* layer, const core::Rect& part)
{
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_size(layer, uint32_t(std::max(1L, std::lround(part.width))),
        uint32_t(std::max(1L, std::lround(part.height))));
    zwlr_layer_surface_v1_set_margin(layer, int(std::lround(part.y)), 0, 0, int(std::lround(part.x)));
}

void openLayerSurface(wl::WaylandConnection& connection, wl_output* output, const char* name,
    const zwlr_layer_surface_v1_listener* listener, void* data, wl_surface*& surface, zwlr_layer_surface_v1*& layer,
    const core::Rect* part)
{
    surface = wl_compositor_create_surface(connection.compositor());
    layer = coverOutput(connection, surface, output, name);
    if (part)
        placeOnOutput(layer, *part);
    zwlr_layer_surface_v1_add_listener(layer, listener, data);
    letClicksThrough(connection, surface);
    wl_surface_commit(surface);
    connection.flush();
}

void closeLayerSurface(wl::WaylandConnection& connection, wl_surface*& surface, zwlr_layer_surface_v1*& layer)
{
    if (layer)
        zwlr_layer_surface_v1_destroy(layer);
    if (surface)
        wl_surface_destroy(surface);
    layer = nullptr;
    surface = nullptr;
    connection.flush();
}

void letClicksThrough(wl::WaylandConnection& connection, wl_surface* surface)
{
    auto* region = wl_compositor_create_region(connection.compositor());
    wl_surface_set_input_region(surface, region);
    wl_region_destroy(region);
}

namespace {

bool attach(wl::WaylandConnection& connection, wl_surface* surface, wl_buffer* buffer, int scale)
{
    if (!buffer)
        return false;
    wl_surface_set_buffer_scale(surface, scale);
    wl_surface_attach(surface, buffer, 0, 0);
    if (connection.compositorVersion() >= 4)
        wl_surface_damage_buffer(surface, 0, 0, INT32_MAX, INT32_MAX);
    else
        wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
    return true;
}

}

bool attachImage(wl::WaylandConnection& connection, wl_surface* surface, const QImage& image, int scale)
{
    return attach(connection, surface, image.isNull() ? nullptr : createShmBuffer(connection.shm(), image), scale);
}

bool attachView(wl::WaylandConnection& connection, wl_surface* surface, ShmPool& pool, core::TavelinView& view,
    core::Size points, int scale)
{
    auto* slot = pool.take(int(points.width) * scale, int(points.height) * scale);
    if (!slot)
        return false;
    {
        QPainter painter(&slot->image);
        painter.scale(scale, scale);
        shared::paint::drawOverlay(painter, view, points, scale, false);
    }
    return attach(connection, surface, slot->buffer, scale);
}

}
