// The overlay drawing: how many lines and labels fit at sizes on and near whole cells.
#include "core/Canvas.h"
#include "core/TavelinView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

using namespace tavelin::core;

namespace {
// Writes down the lines and the texts drawn; fills are left out. Text is monospaced, 0.6 em a byte.
struct RecordingCanvas final : Canvas {
    std::vector<std::pair<Point, Point>> lineSteps;
    std::vector<std::string> texts;
    void fillRect(const Rect&, const Color&) override { }
    void fillRoundedRect(const Rect&, double, const Color&) override { }
    void strokeLine(Point a, Point b, const Color&, double) override { lineSteps.emplace_back(a, b); }
    std::vector<Point> textCentres;
    void drawText(std::string_view t, Point p, const Font&, const Color&) override
    {
        texts.emplace_back(t);
        textCentres.push_back(p);
    }
    Size measureText(std::string_view t, const Font& f) override { return { double(t.size()) * f.size * 0.6, f.size * 1.2 }; }
    // The x of each vertical line, or the y of each horizontal one, in drawing order.
    std::vector<double> lines(bool vertical) const
    {
        std::vector<double> out;
        for (auto& [a, b] : lineSteps) {
            if ((a.x == b.x) == vertical)
                out.push_back(vertical ? a.x : a.y);
        }
        return out;
    }
};

struct Drawn {
    GridState state;
    TavelinView view { state };
    RecordingCanvas canvas;
    void draw(double w, double h)
    {
        canvas = {};
        view.draw(canvas, { w, h });
    }
};
}

TEST(TavelinViewDrawing, CountsFollowWholeCellsAtExactAndOneLessSizes)
{
    Drawn d;
    auto verticals = [&](double w, double h) {
        d.draw(w, h);
        return d.canvas.lines(true);
    };
    auto exact = verticals(26 + 5 * 80, 300);
    ASSERT_EQ(exact.size(), 6u);
    EXPECT_EQ(exact.back(), 426) << "last line on the right edge";
    EXPECT_EQ(verticals(26 + 5 * 80 - 0.5, 300).size(), 5u);
    // cols = 0: one line at the band's edge, no column header, rows still drawn.
    auto single = verticals(26 + 79, 300);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0], 26);
    EXPECT_FALSE(d.canvas.texts.empty());
    // Negative count: canvas narrower than the band by a whole cell or more draws no verticals.
    d.state.setCellWidth(20);
    EXPECT_TRUE(verticals(5, 300).empty());
    EXPECT_EQ(verticals(7, 300).size(), 1u) << "(7 - 26) / 20 truncates to 0";
}

TEST(TavelinViewDrawing, RowsZeroGivesOneHorizontalLineAndNoLabels)
{
    Drawn d;
    d.state.setShowCellLabels(true);
    d.draw(500, 25 + 22 + 79);
    EXPECT_EQ(d.canvas.lines(false).size(), 1u);
    for (auto& t : d.canvas.texts)
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(t[0]))) << "only column headers: " << t;
    // Smaller than the bands: nothing but bands in that direction, and no crash.
    d.draw(500, 10);
    d.draw(1, 1);
}

// The view keeps the names' parts from frame to frame: each frame still has just its own names,
// where a view drawing for the first time puts them, as the size, cells, inset and labels change.
TEST(TavelinViewDrawing, EachFrameHasItsOwnCellNamesWhateverCameBefore)
{
    Drawn kept;
    kept.state.setShowCellLabels(true);
    struct Frame {
        double w, h, cellWidth, cellHeight;
        bool fullScreen, labels;
    };
    const Frame frames[] = {
        { 1440, 900, 20, 20, true, true },   // many names
        { 500, 300, 80, 60, true, true },    // fewer: none of the last frame's may stay
        { 500, 900, 80, 23, false, true },   // fewer columns, more rows, no top inset
        { 800, 600, 37.5, 41, true, false }, // labels off
        { 800, 600, 37.5, 41, true, true },  // and on again
    };
    for (const auto& f : frames) {
        Drawn fresh;
        for (GridState* s : { &kept.state, &fresh.state }) {
            s->setCellWidth(f.cellWidth);
            s->setCellHeight(f.cellHeight);
            s->setShowCellLabels(f.labels);
            s->setTargetMode(f.fullScreen ? TargetMode::fullScreen() : TargetMode::window(7));
        }
        kept.draw(f.w, f.h);
        fresh.draw(f.w, f.h);
        EXPECT_EQ(kept.canvas.texts, fresh.canvas.texts) << f.w << "x" << f.h << " cells " << f.cellWidth;
        EXPECT_EQ(kept.canvas.textCentres, fresh.canvas.textCentres) << f.w << "x" << f.h << " cells " << f.cellWidth;
        auto names = std::count(kept.canvas.texts.begin(), kept.canvas.texts.end(), std::string("B2"));
        EXPECT_EQ(names, f.labels ? 1 : 0);
    }
}
