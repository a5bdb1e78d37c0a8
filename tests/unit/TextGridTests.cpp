// The cell names drawn as one grid straight into the pixels: the same pixels as each name drawn
// on its own, wherever the grid lies, at any scale, under lines before and fills after it.
#include "core/Canvas.h"
#include "shared/paint/QPainterCanvas.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tavelin;

namespace {

// Fonts need an application; the offscreen platform needs no display.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "tavelin_unit_tests";
    static char* argv[] = { name, nullptr };
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(argc, argv);
}

struct Scene {
    QSize pixels;
    double ratio;
    double cell;          // cell width and height in points
    double left, top;     // the first centre, in points: negative ones start off the image
    int columns, rows;
    double fontSize;
    QRect systemClip;     // a partial repaint when not empty
};

struct GridTexts {
    std::vector<std::string> columns, rows;
    std::vector<double> xs, ys;
};

GridTexts textsOf(const Scene& s)
{
    GridTexts t;
    for (int c = 0; c < s.columns; ++c) {
        // One and two letters, as a wide grid's columns go.
        t.columns.push_back(c < 26 ? std::string(1, char('A' + c)) : std::string { char('A' + c / 26 - 1), char('A' + c % 26) });
        t.xs.push_back(s.left + c * s.cell);
    }
    for (int r = 0; r < s.rows; ++r) {
        t.rows.push_back(std::to_string(r * 7 + 1));
        t.ys.push_back(s.top + r * s.cell * 0.75);
    }
    return t;
}

// Lines under the names and a fill over some of them, so the order of the blends shows.
QImage draw(const Scene& s, bool asGrid)
{
    QImage image(s.pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(s.ratio);
    image.fill(0x80336699);
    QPainter painter(&image);
    if (!s.systemClip.isEmpty())
        painter.paintEngine()->setSystemClip(QRegion(s.systemClip));
    GridTexts t = textsOf(s);
    {
        shared::paint::QPainterCanvas canvas(painter);
        canvas.clear();
        const core::Color line { 1, 1, 0, 0.5 };
        for (double x : t.xs)
            canvas.strokeLine({ x + s.cell / 2, 0 }, { x + s.cell / 2, 4000 }, line, 0.5);
        for (double y : t.ys)
            canvas.strokeLine({ 0, y + s.cell / 3 }, { 4000, y + s.cell / 3 }, line, 0.5);
        core::TextGrid grid { t.columns, t.xs, t.rows, t.ys, { s.fontSize, core::FontWeight::semibold },
            { 0.2, 0.9, 0.4, 0.6 } };
        if (asGrid)
            canvas.drawTextGrid(grid);
        else
            canvas.core::Canvas::drawTextGrid(grid); // name by name, through drawText
        canvas.fillRect({ 30, 20, 200, 90 }, { 0.8, 0.1, 0.1, 0.3 });
    }
    painter.end();
    return image;
}

TEST(TextGrid, BlendsTheSamePixelsAsEachNameDrawnOnItsOwn)
{
    ensureApplication();
    const Scene scenes[] = {
        // Names wider than their cells overlap their neighbours: the order decides the pixels.
        { { 801, 333 }, 1, 13, 20, 12, 40, 30, 9, {} },
        { { 1001, 701 }, 1.25, 50, 40.5, 30.25, 30, 20, 9, {} },
        { { 1440, 900 }, 2, 20, 10, 7, 40, 40, 9, {} },
        // Half of it beyond every edge, and on two threads (over two million pixels).
        { { 2003, 1111 }, 1, 24, -300, -200, 120, 90, 12, {} },
        // A partial repaint: only what the system clip holds changes.
        { { 1203, 801 }, 1.5, 30, 15, 10, 35, 40, 10.5, QRect(101, 77, 600, 333) },
    };
    for (const auto& scene : scenes) {
        QImage byName = draw(scene, false);
        QImage asGrid = draw(scene, true);
        EXPECT_TRUE(asGrid == byName) << scene.pixels.width() << "x" << scene.pixels.height() << " at " << scene.ratio;
        // Not vacuous: the names are there.
        EXPECT_FALSE(byName == draw({ scene.pixels, scene.ratio, scene.cell, scene.left, scene.top, 0, 0,
                                        scene.fontSize, scene.systemClip },
                         true));
    }
}

// Texts the prepared glyphs cannot take whole, and an empty grid: drawn, or left out, as by name.
TEST(TextGrid, FallsBackToNameByNameForOtherTexts)
{
    ensureApplication();
    QImage images[2];
    for (int asGrid = 0; asGrid < 2; ++asGrid) {
        QImage image(400, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(0);
        QPainter painter(&image);
        auto canvas = std::make_unique<shared::paint::QPainterCanvas>(painter);
        std::vector<std::string> columns { "A", "b", "C" }, rows { "1", "2x" }, none;
        std::vector<double> xs { 20, 60, 100 }, ys { 30, 80 };
        core::TextGrid grid { columns, xs, rows, ys, { 11, core::FontWeight::semibold }, { 1, 1, 1, 0.8 } };
        core::TextGrid empty { none, {}, rows, ys, grid.font, grid.color };
        if (asGrid) {
            canvas->drawTextGrid(grid);
            canvas->drawTextGrid(empty);
        } else {
            canvas->core::Canvas::drawTextGrid(grid);
        }
        canvas.reset();
        painter.end();
        images[asGrid] = image;
    }
    EXPECT_TRUE(images[0] == images[1]);
}

}
