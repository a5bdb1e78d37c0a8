// The layer surface's life: created on show, configured by the compositor, drawn on change one
// frame at a time, destroyed on hide (a hidden layer surface must be set up anew anyway).
#include "wayland/overlay/LayerOverlay.h"

#include "core/TavelinView.h"
#include "shared/Trace.h"
#include "wayland/overlay/LayerSurface.h"
#include "wayland/overlay/ShmBuffer.h"
#include "wayland/wl/SeatPointer.h"
#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace tavelin::wayland::overlay {

namespace {

LayerOverlay& self(void* data) { return *static_cast<LayerOverlay*>(data); }

void onConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height)
{
    self(data).configured(serial, width, height);
}
void onClosed(void* data, zwlr_layer_surface_v1*) { self(data).closed(); }
const zwlr_layer_surface_v1_listener layerListener = { onConfigure, onClosed };

void onFrame(void* data, wl_callback* callback, uint32_t)
{
    wl_callback_destroy(callback);
    self(data).frameDone();
}
const wl_callback_listener frameListener = { onFrame };

}

LayerOverlay::LayerOverlay(wl::WaylandConnection& connection, const core::Rect& frame, core::TavelinView& view,
    wl_output* output, int scale)
    : m_connection(connection)
    , m_view(view)
    , m_frame(frame)
    , m_output(output)
    , m_scale(scale)
    , m_pool(connection.shm())
{
    if (auto* out = connection.outputAt(frame))
        m_outputOrigin = wl::pointFrame(*out).origin();
    // An output that goes takes its wl_output with it: the surface moves before it is used again.
    QObject::connect(&m_connection, &wl::WaylandConnection::outputsChanged, &m_context, [this] {
        followOutput();
        place();
    });
}

LayerOverlay::~LayerOverlay() { destroySurface(); }

// The grid's surface sits on the output under its frame, at that output's scale.
void LayerOverlay::followOutput()
{
    auto* out = m_connection.outputAt(m_frame);
    if (!out)
        return;
    m_outputOrigin = wl::pointFrame(*out).origin();
    setOutput(out->output, out->scale);
}

void LayerOverlay::createSurface()
{
    // Destroying the last surface flushes, which dispatches what is pending: an output change then
    // may have set up the surface already, on the output it chose, which is the one to keep.
    if (m_surface)
        return;
    auto part = partOfOutput();
    openLayerSurface(m_connection, m_output, "tavelin", &layerListener, this, m_surface, m_layer, &part);
    // The pointer reaches the surface only while it takes the mouse (adjust mode); the surface is the view.
    m_connection.pointer().route(m_surface, { [this](core::Point p) { m_view.mousePressed(p); },
        [this](core::Point p) { m_view.mouseMoved(p); }, [this](core::Point p) { m_view.mouseReleased(p); } });
    applyInputRegion();
}

void LayerOverlay::destroySurface()
{
    if (m_frameCallback) {
        wl_callback_destroy(m_frameCallback);
        m_frameCallback = nullptr;
    }
    if (m_surface)
        m_connection.pointer().forget(m_surface);
    closeLayerSurface(m_connection, m_surface, m_layer);
    m_configured = false;
}

// Click-through is an empty input region; otherwise the default, the whole surface.
void LayerOverlay::applyInputRegion()
{
    if (!m_surface)
        return;
    if (m_clickThrough)
        letClicksThrough(m_connection, m_surface);
    else
        wl_surface_set_input_region(m_surface, nullptr);
}

void LayerOverlay::setClickThrough(bool clickThrough)
{
    if (m_clickThrough == clickThrough)
        return;
    m_clickThrough = clickThrough;
    applyInputRegion();
    update();
}

void LayerOverlay::show()
{
    if (m_shown)
        return;
    m_shown = true;
    createSurface();
}

void LayerOverlay::hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    destroySurface();
}

void LayerOverlay::setFrame(const core::Rect& frame)
{
    if (frame == m_frame)
        return;
    m_frame = frame;
    followOutput();
    place();
}

// The whole output, or the part of it a followed window covers, in the output's points.
core::Rect LayerOverlay::partOfOutput() const
{
    return { m_frame.x - m_outputOrigin.x, m_frame.y - m_outputOrigin.y, m_frame.width, m_frame.height };
}

// The new place takes effect with this commit; a new size comes back as a configure, which draws.
void LayerOverlay::place()
{
    if (!m_layer)
        return;
    placeOnOutput(m_layer, partOfOutput());
    wl_surface_commit(m_surface);
    m_connection.flush();
    // For the follow benchmark: when the place went to the compositor, on the monotonic clock.
    if (shared::tracing())
        std::fprintf(stderr, "tavelin: trace: placed %.0f %.0f %.0f %.0f at %.3f ms\n", m_frame.x, m_frame.y,
            m_frame.width, m_frame.height,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

void LayerOverlay::setOutput(wl_output* output, int scale)
{
    if (output == m_output && scale == m_scale)
        return;
    m_output = output;
    m_scale = scale;
    if (m_shown) {
        destroySurface();
        createSurface();
    }
}

// Called while the grid's state is being told of a change, before the new value is stored:
// the drawing waits for the event loop, and for the last frame to be shown.
void LayerOverlay::update()
{
    m_dirty = true;
    if (m_drawQueued)
        return;
    m_drawQueued = true;
    QMetaObject::invokeMethod(&m_context, [this] {
        m_drawQueued = false;
        if (m_dirty && m_configured && !m_frameCallback)
            draw();
    }, Qt::QueuedConnection);
}

void LayerOverlay::configured(uint32_t serial, uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    m_width = width;
    m_height = height;
    m_configured = true;
    update();
}

void LayerOverlay::closed()
{
    // The compositor took it away (its output went): set it up again where the grid is now.
    destroySurface();
    if (m_shown)
        createSurface();
}

void LayerOverlay::frameDone()
{
    m_frameCallback = nullptr;
    if (m_dirty) {
        m_dirty = false;
        draw();
    }
}

void LayerOverlay::draw()
{
    if (!m_surface || m_width == 0 || m_height == 0)
        return;
    m_dirty = false;
    core::Size points { double(m_width), double(m_height) };
    if (!attachView(m_connection, m_surface, m_pool, m_view, points, m_scale))
        return;
    m_frameCallback = wl_surface_frame(m_surface);
    wl_callback_add_listener(m_frameCallback, &frameListener, this);
    wl_surface_commit(m_surface);
    m_connection.flush();
}

}
