// The overlay without a compositing manager: painting opaque, tracing the window shape from the
// pixels, and the X server taking that shape.
#include "core/GridState.h"
#include "core/TavelinView.h"
#include "shared/paint/PaintedRegion.h"
#include "shared/paint/QPainterCanvas.h"
#include "shared/paint/SolidCanvas.h"
#include "x11/overlay/BoundingShape.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace tavelin;

constexpr shared::paint::PaintedRegion::Style overlayStyle = shared::paint::SolidCanvas::shapeStyle;

struct Scene {
    int width;
    int height;
    double cellSize;
    bool labels = true;
};

// One solid frame as the overlay paints it without a compositing manager.
QImage paintSolid(const Scene& scene)
{
    core::GridState grid;
    grid.setCellWidth(scene.cellSize);
    grid.setCellHeight(scene.cellSize);
    grid.setShowCellLabels(scene.labels);
    core::TavelinView view(grid);
    QImage image(scene.width, scene.height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    {
        shared::paint::QPainterCanvas canvas(painter);
        canvas.clear();
        shared::paint::SolidCanvas solid(canvas, 1);
        view.draw(solid, { double(scene.width), double(scene.height) });
    }
    painter.end();
    return image;
}

// The whole frame: clear, draw through the solid canvas. Compare with PaintBench's frames.
void solidFrame(benchmark::State& state, Scene scene)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(paintSolid(scene).constBits());
}

// Tracing the painted pixels into the shape's rectangles; each pass starts from the freshly
// painted (not yet flattened) pixels, copied outside the timing.
void traceShape(benchmark::State& state, Scene scene)
{
    const QImage painted = paintSolid(scene);
    QImage work = painted.copy();
    size_t rectangles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.bits(), painted.constBits(), size_t(painted.sizeInBytes()));
        state.ResumeTiming();
        auto region = shared::paint::PaintedRegion::trace(work, work.rect(), overlayStyle);
        rectangles = region.rectangles().size();
        benchmark::DoNotOptimize(region.rectangles().data());
    }
    state.counters["rectangles"] = double(rectangles);
}

// The shape sent to the X server of $DISPLAY and applied there (a round trip waits for it), on a
// mapped window of the scene's size; alternating with a one-line shape so every pass changes it.
void sendShape(benchmark::State& state, Scene scene)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        state.SkipWithError("no X server on $DISPLAY");
        return;
    }
    QImage image = paintSolid(scene);
    auto region = shared::paint::PaintedRegion::trace(image, image.rect(), overlayStyle);
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_window_t window = xcb_generate_id(c);
    uint32_t values[] = { 1 };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, uint16_t(scene.width),
        uint16_t(scene.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
        values);
    xcb_map_window(c, window);
    std::vector<shared::paint::ShapeRect> line { { 0, 0, uint16_t(scene.width), 1 } };
    for (auto _ : state) {
        x11::overlay::setBoundingRectangles(c, window, region.rectangles());
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        state.PauseTiming();
        x11::overlay::setBoundingRectangles(c, window, line);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        state.ResumeTiming();
    }
    state.counters["rectangles"] = double(region.rectangles().size());
    // The region as the server holds it, sent once more: a broken connection would have made
    // every pass a no-op.
    x11::overlay::setBoundingRectangles(c, window, region.rectangles());
    auto* held = xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING), nullptr);
    state.counters["held"] = held ? double(xcb_shape_get_rectangles_rectangles_length(held)) : -1;
    free(held);
    if (xcb_connection_has_error(c))
        state.SkipWithError("the X connection broke");
    xcb_destroy_window(c, window);
    xcb_disconnect(c);
}

void solid1440x900At80Labels(benchmark::State& s) { solidFrame(s, { 1440, 900, 80 }); }
void solid3840x2160At80Labels(benchmark::State& s) { solidFrame(s, { 3840, 2160, 80 }); }
void solid3840x2160At20Labels(benchmark::State& s) { solidFrame(s, { 3840, 2160, 20 }); }
void trace1440x900At80Labels(benchmark::State& s) { traceShape(s, { 1440, 900, 80 }); }
void trace1440x900At20Labels(benchmark::State& s) { traceShape(s, { 1440, 900, 20 }); }
void trace3840x2160At80Labels(benchmark::State& s) { traceShape(s, { 3840, 2160, 80 }); }
void trace3840x2160At20Labels(benchmark::State& s) { traceShape(s, { 3840, 2160, 20 }); }
void trace3840x2160At80(benchmark::State& s) { traceShape(s, { 3840, 2160, 80, false }); }
void send1440x900At80Labels(benchmark::State& s) { sendShape(s, { 1440, 900, 80 }); }
void send3840x2160At80Labels(benchmark::State& s) { sendShape(s, { 3840, 2160, 80 }); }
void send3840x2160At20Labels(benchmark::State& s) { sendShape(s, { 3840, 2160, 20 }); }

}

BENCHMARK(solid1440x900At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(solid3840x2160At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(solid3840x2160At20Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(trace1440x900At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(trace1440x900At20Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(trace3840x2160At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(trace3840x2160At20Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(trace3840x2160At80)->Unit(benchmark::kMillisecond);
BENCHMARK(send1440x900At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(send3840x2160At80Labels)->Unit(benchmark::kMillisecond);
BENCHMARK(send3840x2160At20Labels)->Unit(benchmark::kMillisecond);
