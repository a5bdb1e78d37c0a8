// Prints a digest of every pixel of a set of overlay frames, to prove a painter change keeps them.
//
//   build/bench/frame_digests > before.txt   (then, after the change)   diff before.txt -
//
// Each frame is drawn as on screen: into a premultiplied image (the painter's fast path), into one
// whose painter carries a clip (QPainter's path), into a widget-like image with a system clip (a
// partial repaint), and off screen through renderOverlayImage (screenshots). Frames are drawn
// twice into the same image, so what one frame leaves behind must not show through the next.
#include "core/GridState.h"
#include "core/TavelinView.h"
#include "shared/paint/OverlayRender.h"

#include <QGuiApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace tavelin;

uint64_t digest(const QImage& image)
{
    uint64_t h = 0xcbf29ce484222325ULL;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (qsizetype i = 0; i < qsizetype(image.width()) * 4; ++i)
            h = (h ^ line[i]) * 0x100000001b3ULL;
    }
    return h;
}

struct Scene {
    const char* name;
    double width, height, ratio, cell;
    bool labels, adjusting, solid;
    core::GridColor color = core::GridColor::white;
};

enum class Path { image, clipped, systemClip, offscreen };

QImage draw(const Scene& s, Path path)
{
    core::GridState grid;
    grid.setCellWidth(s.cell);
    grid.setCellHeight(s.cell * 0.75);
    grid.setShowCellLabels(s.labels);
    grid.setIsAdjusting(s.adjusting);
    grid.setGridColor(s.color);
    core::TavelinView view(grid);
    int pw = int(s.width * s.ratio), ph = int(s.height * s.ratio);
    if (path == Path::offscreen)
        return shared::paint::renderOverlayImage(view, { s.width, s.height }, pw, ph, s.solid);
    QImage image(pw, ph, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(s.ratio);
    image.fill(0xff336699);
    for (int round = 0; round < 2; ++round) {
        // The second frame differs from the first: a narrower grid, as during a drag.
        grid.setCellWidth(s.cell + round * 3);
        QPainter painter(&image);
        if (path == Path::clipped)
            painter.setClipRect(QRectF(7.5, 3.25, s.width / 2, s.height / 3));
        if (path == Path::systemClip)
            painter.paintEngine()->setSystemClip(QRegion(pw / 5, ph / 7, pw / 2, ph / 3));
        shared::paint::drawOverlay(painter, view, { s.width, s.height }, s.ratio, s.solid);
    }
    return image;
}

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const Scene scenes[] = {
        { "1440x900-80", 1440, 900, 1, 80, true, false, false },
        { "1440x900-80-adjust", 1440, 900, 1, 80, true, true, false },
        { "1440x900-80-solid", 1440, 900, 1, 80, true, false, true },
        { "1440x900-80-solid-adjust", 1440, 900, 1, 80, true, true, true },
        { "1440x900-37-red", 1440, 900, 1, 37, true, false, false, core::GridColor::red },
        { "1152x720-50-at1.25", 1152, 720, 1.25, 50, true, false, false, core::GridColor::cyan },
        { "1152x720-50-at1.25-solid", 1152, 720, 1.25, 50, true, true, true },
        { "1440x900-80-at2-adjust", 1440, 900, 2, 80, true, true, false },
        { "1440x900-80-at2-nolabels", 1440, 900, 2, 80, false, false, false, core::GridColor::yellow },
        { "3840x2160-20", 3840, 2160, 1, 20, true, false, false },
        { "3840x2160-20-solid", 3840, 2160, 1, 20, true, false, true },
        { "1920x1080-20-at2", 1920, 1080, 2, 20, true, false, false, core::GridColor::pink },
        { "1920x1080-20-at2-adjust", 1920, 1080, 2, 20, true, true, false },
        { "801x333-13-at1.5", 801, 333, 1.5, 13, true, false, false, core::GridColor::green },
    };
    const char* paths[] = { "image", "clipped", "system-clip", "offscreen" };
    int only = argc > 1 ? std::atoi(argv[1]) : -1;
    for (const auto& scene : scenes) {
        for (int p = 0; p < 4; ++p) {
            if (only >= 0 && p != only)
                continue;
            std::printf("%-26s %-12s %016llx\n", scene.name, paths[p],
                (unsigned long long)digest(draw(scene, Path(p))));
        }
    }
    return 0;
}
