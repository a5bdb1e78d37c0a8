// Binding the globals, following outputs as they come, change and go, and dispatching from Qt.
#include "wayland/wl/WaylandConnection.h"

#include "wayland/wl/SeatPointer.h"

#include "wayland/wl/wlr-data-control-unstable-v1-client.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"
#include "wayland/wl/wlr-screencopy-unstable-v1-client.h"
#include "wayland/wl/xdg-output-unstable-v1-client.h"

#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavelin::wayland::wl {

namespace {

WaylandConnection& self(void* data) { return *static_cast<WaylandConnection*>(data); }

void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    self(data).globalAdded(name, interface, version);
}
void onGlobalRemove(void* data, wl_registry*, uint32_t name) { self(data).globalRemoved(name); }
const wl_registry_listener registryListener = { onGlobal, onGlobalRemove };

void onGeometry(void* data, wl_output* o, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
    int32_t transform)
{
    if (auto* out = self(data).outputFor(o)) {
        out->x = x;
        out->y = y;
        out->transform = transform;
    }
}
void onMode(void* data, wl_output* o, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    auto* out = self(data).outputFor(o);
    if (out && (flags & WL_OUTPUT_MODE_CURRENT)) {
        out->pixelWidth = width;
        out->pixelHeight = height;
    }
}
void onDone(void* data, wl_output* o)
{
    if (auto* out = self(data).outputFor(o))
        self(data).outputDone(*out);
}
void onScale(void* data, wl_output* o, int32_t factor)
{
    if (auto* out = self(data).outputFor(o))
        out->scale = std::max(1, factor);
}
void onName(void* data, wl_output* o, const char* name)
{
    if (auto* out = self(data).outputFor(o))
        out->name = name;
}
void onDescription(void*, wl_output*, const char*) { }
const wl_output_listener outputListener = { onGeometry, onMode, onDone, onScale, onName, onDescription };

Output& described(void* data) { return *static_cast<Output*>(data); }
void onLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    described(data).logicalX = x;
    described(data).logicalY = y;
}
void onLogicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    described(data).logicalWidth = width;
    described(data).logicalHeight = height;
}
void onXdgDone(void*, zxdg_output_v1*) { }
void onXdgName(void*, zxdg_output_v1*, const char*) { }
void onXdgDescription(void*, zxdg_output_v1*, const char*) { }
const zxdg_output_v1_listener xdgOutputListener = { onLogicalPosition, onLogicalSize, onXdgDone, onXdgName,
    onXdgDescription };

}

WaylandConnection::WaylandConnection()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_pointer = std::make_unique<SeatPointer>(*this);
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    // One round for the globals, one for the outputs' first description.
    wl_display_roundtrip(m_display);
    wl_display_roundtrip(m_display);
}

WaylandConnection::~WaylandConnection()
{
    if (!m_display)
        return;
    m_pointer.reset();
    for (auto& out : m_outputs) {
        if (out->xdgOutput)
            zxdg_output_v1_destroy(out->xdgOutput);
        if (wl_output_get_version(out->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(out->output);
        else
            wl_output_destroy(out->output);
    }
    if (m_layerShell)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    if (m_screencopy)
        zwlr_screencopy_manager_v1_destroy(m_screencopy);
    if (m_dataControl)
        zwlr_data_control_manager_v1_destroy(m_dataControl);
    if (m_xdgOutputs)
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void WaylandConnection::globalAdded(uint32_t name, const char* interface, uint32_t version)
{
    auto bind = [&](const wl_interface* iface, uint32_t highest) {
        return wl_registry_bind(m_registry, name, iface, std::min(version, highest));
    };
    if (!std::strcmp(interface, wl_compositor_interface.name)) {
        m_compositorVersion = std::min(version, 4u);
        m_compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (!std::strcmp(interface, wl_shm_interface.name)) {
        m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (!std::strcmp(interface, zwlr_layer_shell_v1_interface.name)) {
        m_layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
    } else if (!std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name)) {
        m_screencopy = static_cast<zwlr_screencopy_manager_v1*>(bind(&zwlr_screencopy_manager_v1_interface, 1));
    } else if (!std::strcmp(interface, zwlr_data_control_manager_v1_interface.name)) {
        m_dataControl = static_cast<zwlr_data_control_manager_v1*>(bind(&zwlr_data_control_manager_v1_interface, 1));
    } else if (!std::strcmp(interface, wl_seat_interface.name) && !m_seat) {
        // The selection is per seat; desktops with one seat are the rule.
        m_seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
        m_pointer->follow(m_seat);
    } else if (!std::strcmp(interface, wl_output_interface.name)) {
        auto out = std::make_unique<Output>();
        out->globalName = name;
        out->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        // Without wl_output v4 there is no name: number them in announcement order.
        out->name = "output-" + std::to_string(m_outputs.size() + 1);
        wl_output_add_listener(out->output, &outputListener, this);
        describeOutput(*out);
        m_outputs.push_back(std::move(out));
    } else if (!std::strcmp(interface, zxdg_output_manager_v1_interface.name)) {
        // From version 3 wl_output.done ends each change, xdg-output's own events included.
        m_xdgOutputs = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
        for (auto& out : m_outputs)
            describeOutput(*out);
    }
}

void WaylandConnection::describeOutput(Output& out)
{
    if (!m_xdgOutputs || out.xdgOutput)
        return;
    out.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, out.output);
    zxdg_output_v1_add_listener(out.xdgOutput, &xdgOutputListener, &out);
}

void WaylandConnection::globalRemoved(uint32_t name)
{
    auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [name](auto& o) { return o->globalName == name; });
    if (it == m_outputs.end())
        return;
    if ((*it)->xdgOutput)
        zxdg_output_v1_destroy((*it)->xdgOutput);
    wl_output_destroy((*it)->output);
    m_outputs.erase(it);
    emit outputsChanged();
}

Output* WaylandConnection::outputFor(wl_output* output)
{
    for (auto& out : m_outputs) {
        if (out->output == output)
            return out.get();
    }
    return nullptr;
}

void WaylandConnection::outputDone(Output& output)
{
    output.done = true;
    if (m_started)
        emit outputsChanged();
}

std::vector<const Output*> WaylandConnection::outputs() const
{
    std::vector<const Output*> all;
    for (auto& out : m_outputs) {
        if (out->done && out->pixelWidth > 0 && out->pixelHeight > 0)
            all.push_back(out.get());
    }
    return all;
}

core::Rect pointFrame(const Output& out)
{
    if (out.logicalWidth > 0 && out.logicalHeight > 0)
        return { double(out.logicalX), double(out.logicalY), double(out.logicalWidth), double(out.logicalHeight) };
    auto pixels = layoutPixels(out);
    return { double(out.x), double(out.y), pixels.width / out.scale, pixels.height / out.scale };
}

// wl_output.transform: the odd values are the quarter turns, flipped or not.
core::Size layoutPixels(const Output& out)
{
    bool turned = out.transform & 1;
    return { double(turned ? out.pixelHeight : out.pixelWidth), double(turned ? out.pixelWidth : out.pixelHeight) };
}

// Compositors round the points down (wlroots: 800 pixels at scale 3 are 266 points): each side's
// ratio is then at most a little above the scale, and the smaller one is nearer.
double pixelsPerPoint(const Output& out)
{
    auto points = pointFrame(out);
    auto pixels = layoutPixels(out);
    if (points.width <= 0 || points.height <= 0)
        return double(out.scale);
    return std::min(pixels.width / points.width, pixels.height / points.height);
}

const Output* WaylandConnection::outputAt(const core::Rect& frame) const
{
    auto all = outputs();
    double cx = frame.x + frame.width / 2, cy = frame.y + frame.height / 2;
    for (auto* out : all) {
        if (pointFrame(*out).contains({ cx, cy }))
            return out;
    }
    return all.empty() ? nullptr : all.front();
}

void WaylandConnection::attachToEventLoop()
{
    if (!m_display || m_notifier)
        return;
    m_started = true;
    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    // Whatever was queued before Qt waits again goes out first.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::flush);
}

// A failed dispatch leaves the display unusable for good (libwayland keeps the error): with no
// grid, no shortcuts and no captures left, carrying on would only answer the bus with lies. As on
// X11: one line and status 1.
void WaylandConnection::dispatch()
{
    if (wl_display_dispatch(m_display) >= 0)
        return;
    m_notifier->setEnabled(false);
    const wl_interface* interface = nullptr;
    if (wl_display_get_error(m_display) == EPROTO) {
        uint32_t code = wl_display_get_protocol_error(m_display, &interface, nullptr);
        std::fprintf(stderr, "tavelin: the Wayland compositor ended the connection: protocol error %u on %s\n", code,
            interface ? interface->name : "an unknown object");
    } else {
        std::fprintf(stderr, "tavelin: the Wayland compositor closed the connection\n");
    }
    QCoreApplication::exit(1);
}

void WaylandConnection::flush()
{
    if (m_display) {
        wl_display_dispatch_pending(m_display);
        wl_display_flush(m_display);
    }
}

}
