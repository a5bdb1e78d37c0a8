// Tavelin's own wayland-client connection: the globals the overlay needs, the outputs, and dispatch
// from Qt's event loop.
#pragma once

#include "core/Geometry.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_output;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct zwlr_data_control_manager_v1;
struct wl_seat;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
class QSocketNotifier;

namespace tavelin::wayland::wl {

class SeatPointer;

// One wl_output as announced: its name (wl_output v4) or a stand-in, position, size in pixels, scale;
// where xdg-output is offered, its place and size in the compositor's space (wl_output's position
// is 0, 0 on wlroots whatever the layout).
struct Output {
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    std::string name;
    int x = 0, y = 0;
    int pixelWidth = 0, pixelHeight = 0;
    int scale = 1;        // wl_output's whole-number scale: the buffer scale our surfaces draw at
    int transform = 0;    // wl_output's transform: 90 and 270 (and flipped) stand the pixels on their side
    int logicalX = 0, logicalY = 0, logicalWidth = 0, logicalHeight = 0; // 0 × 0: not told
    bool done = false;
};

// Its rectangle in the compositor's space, in points.
core::Rect pointFrame(const Output& output);
// Its pixel size the way the layout has it, a turned output's width and height swapped.
core::Size layoutPixels(const Output& output);
// Its pixels per point, fractional where the compositor scales by 1.25 or 1.5 (wl_output then
// announces the next whole number).
double pixelsPerPoint(const Output& output);

class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // Connects to WAYLAND_DISPLAY and waits for the globals; check usable() after.
    WaylandConnection();
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // The compositor is reachable and offers what the overlay needs (layer-shell, shm, compositor).
    bool usable() const { return m_display && m_compositor && m_shm && m_layerShell; }
    bool connected() const { return m_display != nullptr; }
    // Starts dispatching from the Qt event loop (needs a QCoreApplication).
    void attachToEventLoop();
    // Sends what is queued; call after issuing requests outside an event callback.
    void flush();

    wl_display* display() const { return m_display; }
    wl_compositor* compositor() const { return m_compositor; }
    uint32_t compositorVersion() const { return m_compositorVersion; }
    wl_shm* shm() const { return m_shm; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }
    // Optional globals: null where the compositor does not offer them.
    zwlr_screencopy_manager_v1* screencopy() const { return m_screencopy; }
    zwlr_data_control_manager_v1* dataControl() const { return m_dataControl; }
    wl_seat* seat() const { return m_seat; }
    // The seat's pointer on our surfaces (inert without a seat).
    SeatPointer& pointer() { return *m_pointer; }
    // In the order the compositor announced them, complete ones only.
    std::vector<const Output*> outputs() const;
    // The output whose rectangle holds frame's centre; else the first; null without outputs.
    const Output* outputAt(const core::Rect& frame) const;

    // Registry and output listeners, called by the C callbacks.
    void globalAdded(uint32_t name, const char* interface, uint32_t version);
    void globalRemoved(uint32_t name);
    Output* outputFor(wl_output* output);
    void outputDone(Output& output);
    void describeOutput(Output& output);

signals:
    void outputsChanged();

private:
    void dispatch();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    uint32_t m_compositorVersion = 0;
    wl_shm* m_shm = nullptr;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    zwlr_screencopy_manager_v1* m_screencopy = nullptr;
    zwlr_data_control_manager_v1* m_dataControl = nullptr;
    wl_seat* m_seat = nullptr;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    std::vector<std::unique_ptr<Output>> m_outputs;
    std::unique_ptr<SeatPointer> m_pointer;
    QSocketNotifier* m_notifier = nullptr;
    bool m_started = false;
};

}
