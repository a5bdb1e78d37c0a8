// One overlay frame on a layer-shell compositor as the overlay makes it: drawn in place into a pooled
// shared-memory buffer, committed to a layer surface over the first output, taken by the compositor.
#include "core/GridState.h"
#include "core/TavelinView.h"
#include "wayland/overlay/LayerSurface.h"
#include "wayland/overlay/ShmBuffer.h"
#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-layer-shell-unstable-v1-client.h"

#include <wayland-client.h>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using namespace tavelin;

struct Configure {
    zwlr_layer_surface_v1* layer = nullptr;
    uint32_t width = 0, height = 0;
};

void onConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height)
{
    auto* configure = static_cast<Configure*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    configure->width = width;
    configure->height = height;
}
void onClosed(void*, zwlr_layer_surface_v1*) { }
const zwlr_layer_surface_v1_listener layerListener = { onConfigure, onClosed };

void onFrame(void* data, wl_callback* callback, uint32_t)
{
    wl_callback_destroy(callback);
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener frameListener = { onFrame };

// The timed part ends when the compositor has answered a round trip after the commit, so it has
// taken the buffer; between frames (untimed) it shows the last one, as the overlay waits for it.
void commitFrames(benchmark::State& state, double cellSize, bool labels)
{
    wayland::wl::WaylandConnection connection;
    auto outputs = connection.outputs();
    if (!connection.usable() || outputs.empty()) {
        state.SkipWithError("needs WAYLAND_DISPLAY of a compositor with layer-shell and an output");
        return;
    }
    Configure configure;
    wl_surface* surface = nullptr;
    wayland::overlay::openLayerSurface(connection, outputs.front()->output, "tavelin-bench", &layerListener, &configure,
        surface, configure.layer);
    while (configure.width == 0 && wl_display_dispatch(connection.display()) >= 0) { }
    core::GridState grid;
    grid.setCellWidth(cellSize);
    grid.setCellHeight(cellSize);
    grid.setShowCellLabels(labels);
    core::TavelinView view(grid);
    core::Size points { double(configure.width), double(configure.height) };
    using Clock = std::chrono::steady_clock;
    Clock::duration ours {};
    wayland::overlay::ShmPool pool(connection.shm());
    for (auto _ : state) {
        auto start = Clock::now();
        wayland::overlay::attachView(connection, surface, pool, view, points, 1);
        bool shown = false;
        wl_callback_add_listener(wl_surface_frame(surface), &frameListener, &shown);
        wl_surface_commit(surface);
        wl_display_flush(connection.display());
        ours += Clock::now() - start;
        wl_display_roundtrip(connection.display());
        state.PauseTiming();
        while (!shown && wl_display_dispatch(connection.display()) >= 0) { }
        state.ResumeTiming();
    }
    // Of each frame, Tavelin's part (drawing into the buffer, committing); the rest is the compositor's.
    state.counters["ours_ms"] = std::chrono::duration<double, std::milli>(ours).count() / double(state.iterations());
    state.counters["pixels"] = double(configure.width) * configure.height;
    wayland::overlay::closeLayerSurface(connection, surface, configure.layer);
    wl_display_roundtrip(connection.display());
}

void waylandFrameAt80(benchmark::State& state) { commitFrames(state, 80, false); }
void waylandFrameAt20Labels(benchmark::State& state) { commitFrames(state, 20, true); }

}

// Fixed counts: every frame waits untimed for the output's next refresh, so a count chosen from the
// timed part alone would run for minutes.
BENCHMARK(waylandFrameAt80)->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(waylandFrameAt20Labels)->Iterations(20)->Unit(benchmark::kMillisecond);
