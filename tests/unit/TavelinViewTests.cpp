// The overlay drawing: where bands, lines, headers and names go, and when it redraws.
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

TEST(TavelinViewDrawing, FullScreenAt80PointsLaysBandsLinesAndHeadersBelowTheTopStrip)
{
    Drawn d;
    auto& steps = d.draw(1440, 900);
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0].rect, (Rect { 0, 25, 1440, 22 }));
    EXPECT_EQ(steps[1].rect, (Rect { 0, 47, 26, 853 })) << "the left band, laid on twice";
    EXPECT_EQ(steps[2].rect, steps[1].rect);
    auto columns = d.canvas.lines(true), rows = d.canvas.lines(false);
    ASSERT_EQ(columns.size(), 18u);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(columns.front(), 26);
    EXPECT_EQ(columns.back(), 26 + 17 * 80);
    EXPECT_EQ(rows.front(), 47);
    EXPECT_EQ(rows.back(), 847);
    auto texts = d.canvas.of(Step::Text);
    ASSERT_EQ(texts.size(), 17u + 10u) << "one header per whole column and row, no labels by default";
    EXPECT_EQ(texts[0].a, (Point { 66, 36 }));
    EXPECT_EQ(texts[16].text, "Q");
    EXPECT_EQ(texts.back().text, "10");
    EXPECT_EQ(texts.back().a, (Point { 13, 47 + 9 * 80 + 40 }));
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

TEST(TavelinViewColors, AdjustModeDrawsInRedWhateverTheGridColour)
{
    Drawn d;
    d.state.setIsAdjusting(true);
    auto line = d.view.colors().line;
    d.state.setGridColor(GridColor::blue);
    EXPECT_EQ(d.view.colors().line, line);
    EXPECT_EQ(line.red, named::red.red);
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
