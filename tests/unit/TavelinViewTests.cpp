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
