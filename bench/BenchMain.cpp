// The benchmarks' shared entry point: a GUI application for fonts, painting off screen.
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

// Painting into an image needs no screen. Benchmarks that talk to an X server (the shape send)
// reach the one $DISPLAY names over xcb directly.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
