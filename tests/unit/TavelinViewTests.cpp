// The overlay drawing: exact steps, their order and geometry, texts, fonts and colours.
#include "core/TavelinView.h"
#include "RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
struct Drawn {
    GridState state;
    TavelinView view { state };
    RecordingCanvas canvas;
    const std::vector<Step>& draw(double w, double h)
    {
        canvas.steps.clear();
        view.draw(canvas, { w, h });
        return canvas.steps;
    }
};
}

TEST(TavelinViewDrawing, FullScreenAt80PointsInterleavesHeadersWithTheirLines)
{
    Drawn d;
    auto& steps = d.draw(1440, 900);
    // Bands: the top band once, the left band twice.
    ASSERT_GE(steps.size(), 3u);
    for (size_t band = 0; band < 3; ++band)
        EXPECT_EQ(steps[band].kind, Step::Fill);
    EXPECT_EQ(steps[0].rect, (Rect { 0, 25, 1440, 22 }));
    EXPECT_EQ(steps[1].rect, (Rect { 0, 47, 26, 853 }));
    EXPECT_EQ(steps[2].rect, steps[1].rect);

    // 18 vertical lines, each but the last followed by its column header.
    size_t i = 3;
    for (int c = 0; c <= 17; ++c) {
        double x = 26 + 80.0 * c;
        ASSERT_EQ(steps[i].kind, Step::Line) << c;
        EXPECT_EQ(steps[i].a, (Point { x, 25 }));
        EXPECT_EQ(steps[i].b, (Point { x, 900 }));
        EXPECT_EQ(steps[i].width, 0.5);
        ++i;
        if (c < 17) {
            ASSERT_EQ(steps[i].kind, Step::Text);
            EXPECT_EQ(steps[i].text, TavelinView::columnLabel(c));
            EXPECT_EQ(steps[i].a, (Point { x + 40, 36 }));
            ++i;
        }
    }
    EXPECT_EQ(steps[i - 2].text, "Q") << "17 columns end their headers at Q";
    // 11 horizontal lines, each but the last followed by its row header.
    for (int r = 0; r <= 10; ++r) {
        double y = 47 + 80.0 * r;
        ASSERT_EQ(steps[i].kind, Step::Line) << r;
        EXPECT_EQ(steps[i].a, (Point { 26, y }));
        EXPECT_EQ(steps[i].b, (Point { 1440, y }));
        ++i;
        if (r < 10) {
            EXPECT_EQ(steps[i].text, std::to_string(r + 1));
            EXPECT_EQ(steps[i].a, (Point { 13, y + 40 }));
            ++i;
        }
    }
    EXPECT_EQ(i, steps.size()) << "no labels, tint or badge by default";
}

TEST(TavelinViewDrawing, WindowModeHasNoTopInset)
{
    Drawn d;
    d.state.setTargetMode(TargetMode::window(5));
    d.draw(1440, 900);
    EXPECT_EQ(d.canvas.steps[0].rect, (Rect { 0, 0, 1440, 22 }));
    EXPECT_EQ(d.canvas.of(Step::Line).front().a, (Point { 26, 0 }));
    auto rowsY = d.canvas.lines(false);
    ASSERT_EQ(rowsY.size(), 11u);
    EXPECT_EQ(rowsY.front(), 22);
    EXPECT_EQ(rowsY[1], 102);
    EXPECT_EQ(rowsY.back(), 822);
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
    EXPECT_FALSE(d.canvas.of(Step::Text).empty());
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
    for (auto& t : d.canvas.of(Step::Text))
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(t.text[0]))) << "only column headers: " << t.text;
    // Smaller than the bands: nothing but bands in that direction, and no crash.
    d.draw(500, 10);
    d.draw(1, 1);
}

TEST(TavelinViewText, ColumnLabelsAreBijectiveBase26)
{
    std::pair<int64_t, const char*> cases[] = { { 0, "A" }, { 1, "B" }, { 25, "Z" }, { 26, "AA" }, { 27, "AB" },
        { 51, "AZ" }, { 52, "BA" }, { 675, "YZ" }, { 676, "ZA" }, { 701, "ZZ" }, { 702, "AAA" }, { 703, "AAB" } };
    for (auto [index, name] : cases)
        EXPECT_EQ(TavelinView::columnLabel(index), name) << index;
    EXPECT_EQ(TavelinView::cellLabel(0, 0), "A1");
    EXPECT_EQ(TavelinView::cellLabel(2, 11), "C12");
    EXPECT_EQ(TavelinView::cellLabel(26, 0), "AA1");
}

TEST(TavelinViewText, FontSizesFollowTheCellSizeWithinTheirClamps)
{
    struct Case { double w, h, column, row, cell; };
    Case cases[] = { { 20, 20, 8, 8, 9 }, { 40, 40, 8, 8, 9 }, { 80, 80, 12, 12, 14.4 }, { 160, 160, 14, 14, 16 },
        { 160, 40, 14, 8, 9 } };
    for (auto c : cases) {
        EXPECT_DOUBLE_EQ(TavelinView::columnHeaderFont(c.w).size, c.column) << c.w;
        EXPECT_DOUBLE_EQ(TavelinView::rowHeaderFont(c.h).size, c.row) << c.h;
        EXPECT_DOUBLE_EQ(TavelinView::cellLabelFont(c.w, c.h).size, c.cell) << c.w << "x" << c.h;
    }
    EXPECT_EQ(TavelinView::columnHeaderFont(80).weight, FontWeight::bold);
    EXPECT_EQ(TavelinView::cellLabelFont(80, 80).weight, FontWeight::semibold);
}

TEST(TavelinViewText, CellLabelsComeLastRowByRowCentredInTheirCells)
{
    Drawn d;
    d.state.setShowCellLabels(true);
    d.draw(1440, 900);
    std::vector<Step> labels;
    for (auto& s : d.canvas.steps) {
        if (s.kind == Step::Text && s.font.weight == FontWeight::semibold)
            labels.push_back(s);
    }
    ASSERT_EQ(labels.size(), 17u * 10u);
    EXPECT_EQ(labels[0].text, "A1");
    EXPECT_EQ(labels[0].a, (Point { 66, 87 }));
    EXPECT_EQ(labels[1].text, "B1");
    EXPECT_EQ(labels[17].text, "A2");
    EXPECT_EQ(labels.back().text, "Q10");
    EXPECT_EQ(labels.back().a, (Point { 26 + 16 * 80 + 40, 47 + 9 * 80 + 40 }));
    EXPECT_EQ(d.canvas.steps.back().text, "Q10") << "labels are the last thing drawn";
    EXPECT_DOUBLE_EQ(labels[0].font.size, 14.4);
}

TEST(TavelinViewColors, FollowTheGridColourUnlessAdjusting)
{
    Drawn d;
    d.state.setGridColor(GridColor::green);
    auto c = d.view.colors();
    EXPECT_EQ(c.band, named::black.opacity(0.35));
    EXPECT_EQ(c.line, named::green.opacity(0.25));
    EXPECT_EQ(c.header, named::green.opacity(0.4));
    EXPECT_EQ(c.cellLabel, named::green.opacity(0.2));

    d.state.setIsAdjusting(true);
    auto a = d.view.colors();
    EXPECT_EQ(a.band, named::black.opacity(0.5));
    EXPECT_EQ(a.line, named::red.opacity(0.5));
    EXPECT_EQ(a.header, named::red.opacity(0.7));
    EXPECT_EQ(a.cellLabel, named::red.opacity(0.4));
    d.state.setGridColor(GridColor::blue);
    EXPECT_EQ(d.view.colors().line, a.line) << "colour changes are invisible while adjusting";
}

TEST(TavelinViewRedraw, EveryChangeAsksForOneRedrawAndNothingIsDrawnInside)
{
    GridState state;
    TavelinView view(state);
    int requests = 0;
    view.setUpdateHandler([&] { ++requests; });
    state.setCellWidth(40);
    state.setCellHeight(40);
    state.setGridColor(GridColor::red);
    EXPECT_EQ(requests, 3);
}
