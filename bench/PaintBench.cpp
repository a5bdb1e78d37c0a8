// One overlay frame, drawn by the view through the QPainter canvas into an image, as on screen.
#include "core/GridState.h"
#include "core/TavelinView.h"
#include "shared/paint/QPainterCanvas.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace tavelin;

struct Scene {
    double width;
    double height;
    double cellSize;
    bool labels;
    bool adjusting = false;
};

// A fresh image of the screen's pixel size; each frame clears it and draws everything.
void drawFrames(benchmark::State& state, Scene scene)
{
    const double ratio = double(state.range(0));
    core::GridState grid;
    grid.setCellWidth(scene.cellSize);
    grid.setCellHeight(scene.cellSize);
    grid.setShowCellLabels(scene.labels);
    grid.setIsAdjusting(scene.adjusting);
    core::TavelinView view(grid);
    QImage image(int(scene.width * ratio), int(scene.height * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        QPainter painter(&image);
        {
            shared::paint::QPainterCanvas canvas(painter);
            canvas.clear();
            view.draw(canvas, { scene.width, scene.height });
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["pixels"] = double(image.width()) * image.height();
}

void frame1440x900At80(benchmark::State& state) { drawFrames(state, { 1440, 900, 80, false }); }
void frame1440x900At80Labels(benchmark::State& state) { drawFrames(state, { 1440, 900, 80, true }); }
void frame3840x2160At20Labels(benchmark::State& state) { drawFrames(state, { 3840, 2160, 20, true }); }
// A 4K monitor at 200 %: 1920x1080 points drawn into 3840x2160 pixels (run at ratio 2).
void frame4kMonitorAt200Labels(benchmark::State& state) { drawFrames(state, { 1920, 1080, 20, true }); }
void frame3840x2160At20(benchmark::State& state) { drawFrames(state, { 3840, 2160, 20, false }); }
// A resize drag redraws like this: tint over everything, red lines, the badge's texts.
void frame1440x900At80Adjusting(benchmark::State& state) { drawFrames(state, { 1440, 900, 80, false, true }); }

// Only clearing the image: the floor under every frame above.
void clearOnly(benchmark::State& state)
{
    const int ratio = int(state.range(0));
    QImage image(3840 * ratio, 2160 * ratio, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(image.rect(), Qt::transparent);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

}

BENCHMARK(frame1440x900At80)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frame1440x900At80Labels)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frame3840x2160At20Labels)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frame4kMonitorAt200Labels)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frame3840x2160At20)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(frame1440x900At80Adjusting)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(clearOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
