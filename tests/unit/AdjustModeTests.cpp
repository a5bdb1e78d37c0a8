// Adjust mode in the view: the resize drag, the tint and the badge.
#include "core/TavelinView.h"
#include "RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
struct Adjusting {
    GridState state;
    TavelinView view { state };
    Adjusting() { state.setIsAdjusting(true); }
};
}

TEST(ResizeDrag, EachMoveAddsTheTotalTranslationTimesTheGain)
{
    Adjusting a;
    a.view.mousePressed({ 100, 100 });
    a.view.mouseMoved({ 110, 100 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 80.25);
    a.view.mouseMoved({ 120, 100 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 80.75);
    a.view.mouseMoved({ 130, 100 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81.5);
    EXPECT_DOUBLE_EQ(a.state.cellHeight(), 80);
    a.view.mouseReleased({ 130, 100 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81.5) << "ending the drag keeps the size";
    a.view.mouseMoved({ 500, 500 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81.5) << "no drag after the release";
}

TEST(ResizeDrag, StartsOnlyAfterOnePointOfMovementThenTracksBothAxes)
{
    Adjusting a;
    int writes = 0;
    a.state.subscribe([&] { ++writes; });
    a.view.mousePressed({ 10, 10 });
    a.view.mouseMoved({ 10.5, 10.5 });
    EXPECT_EQ(writes, 0);
    a.view.mouseMoved({ 10, 10 });
    a.view.mouseMoved({ 50, -30 });
    EXPECT_EQ(writes, 2) << "width then height";
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81);
    EXPECT_DOUBLE_EQ(a.state.cellHeight(), 79);
    a.view.mouseMoved({ 10, 10 }); // back at the press point: a zero step still writes
    EXPECT_EQ(writes, 4);
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81);
}

TEST(ResizeDrag, HoldsAtTheBoundsUntilThePointerCrossesThePressPoint)
{
    Adjusting a;
    a.state.setCellWidth(390);
    a.view.mousePressed({ 0, 0 });
    a.view.mouseMoved({ 1000, 0 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 400);
    a.view.mouseMoved({ 10, 0 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 400) << "still right of the press point";
    a.view.mouseMoved({ -40, 0 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 399);

    a.state.setCellHeight(25);
    a.view.mouseReleased({});
    a.view.mousePressed({ 0, 0 });
    a.view.mouseMoved({ 0, -1000 });
    EXPECT_DOUBLE_EQ(a.state.cellHeight(), 20);
}

TEST(AdjustModeDrawing, TintBelowEverythingAndTheBadgeOnTop)
{
    Adjusting a;
    a.state.setCellWidth(80.99);
    a.state.setCellHeight(41.2);
    RecordingCanvas canvas;
    a.view.draw(canvas, { 1440, 900 });
    ASSERT_FALSE(canvas.steps.empty());
    EXPECT_EQ(canvas.steps[0].rect, (Rect { 0, 0, 1440, 900 })) << "the tint";

    auto badge = canvas.of(Step::RoundedFill);
    ASSERT_EQ(badge.size(), 1u);
    EXPECT_DOUBLE_EQ(badge[0].rect.x + badge[0].rect.width / 2, 720) << "centred";

    auto n = canvas.steps.size();
    ASSERT_GE(n, 3u);
    EXPECT_EQ(canvas.steps[n - 3].text, "ADJUST MODE");
    EXPECT_EQ(canvas.steps[n - 2].text, "Drag to resize \u2022 \u2318\u21E7A to exit");
    EXPECT_EQ(canvas.steps[n - 1].text, "Cell: 80\u00D741");
    EXPECT_LT(canvas.steps[n - 3].a.y, canvas.steps[n - 2].a.y) << "stacked downward";
}

TEST(AdjustModeDrawing, BadgeTruncatesSizes)
{
    EXPECT_EQ(TavelinView::badgeSizeLine(80, 80), "Cell: 80\u00D780");
    EXPECT_EQ(TavelinView::badgeSizeLine(80.9, 41.2), "Cell: 80\u00D741");
    EXPECT_EQ(TavelinView::badgeSizeLine(400, 20), "Cell: 400\u00D720");
}
