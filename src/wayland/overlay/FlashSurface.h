// The screenshot's confirmation: a translucent white pane over the grid's output, a layer surface
// of its own, click-through, shown briefly.
#pragma once

#include "core/Platform.h"
#include "wayland/overlay/LayerSurface.h"

namespace tavelin::wayland::overlay {

class FlashSurface final : public core::FlashWindow {
public:
    FlashSurface(wl::WaylandConnection& connection, wl_output* output, int scale);
    ~FlashSurface() override;

    void show() override;
    void hide() override;

    // Called by the layer-surface listener.
    void configured(uint32_t serial, uint32_t width, uint32_t height);

private:
    wl::WaylandConnection& m_connection;
    wl_output* m_output;
    int m_scale;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
};

}
