// The overlay window as a layer surface on the overlay layer of one output: covers it whole,
// ignores panels, never takes the keyboard, lets clicks through.
#pragma once

#include "core/Platform.h"
#include "wayland/overlay/LayerSurface.h"
#include "wayland/overlay/ShmBuffer.h"

#include <QObject>

struct wl_callback;

namespace tavelin::wayland::overlay {

class LayerOverlay final : public core::OverlayWindow {
public:
    // output: the output the grid is on (null: the compositor chooses); scale: its buffer scale.
    LayerOverlay(wl::WaylandConnection& connection, const core::Rect& frame, core::TavelinView& view,
        wl_output* output, int scale);
    ~LayerOverlay() override;

    void setClickThrough(bool clickThrough) override;
    void show() override;
    void hide() override;
    void setFrame(const core::Rect& frame) override;
    core::Rect frame() const override { return m_frame; }
    uint32_t windowId() const override { return 0; }
    void update() override;

    // Where it goes, when the grid moves to another output.
    void setOutput(wl_output* output, int scale);

    // Layer-surface and frame-callback listeners, called by the C callbacks.
    void configured(uint32_t serial, uint32_t width, uint32_t height);
    void closed();
    void frameDone();

private:
    void followOutput();
    void createSurface();
    void destroySurface();
    void applyInputRegion();
    core::Rect partOfOutput() const;
    void place();
    void draw();

    wl::WaylandConnection& m_connection;
    core::TavelinView& m_view;
    core::Rect m_frame;
    core::Point m_outputOrigin; // the output's top-left corner, which the frame is placed against
    wl_output* m_output;
    int m_scale;
    ShmPool m_pool;
    bool m_clickThrough = true;
    bool m_shown = false;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    wl_callback* m_frameCallback = nullptr;
    bool m_configured = false;
    bool m_dirty = false;
    bool m_drawQueued = false;
    QObject m_context; // queued drawing dies with the overlay
    uint32_t m_width = 0, m_height = 0; // points, as configured
};

}
