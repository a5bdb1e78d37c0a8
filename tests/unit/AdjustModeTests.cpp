// Adjust mode in the view: the resize drag, the tint and the badge.
#include "core/TavelinView.h"

#include <gtest/gtest.h>

using namespace tavelin::core;

namespace {
struct Adjusting {
    GridState state;
    TavelinView view { state };
    Adjusting() { state.setIsAdjusting(true); }
};
}

TEST(ResizeDrag, StartsOnlyAfterOnePointOfMovementThenTracksBothAxes)
{
    Adjusting a;
    int writes = 0;
    a.state.subscribe([&] { ++writes; });
    a.view.mousePressed({ 10, 10 });
    a.view.mouseMoved({ 10.5, 10.5 });
    EXPECT_EQ(writes, 0) << "not a drag yet";
    a.view.mouseMoved({ 10, 10 });
    a.view.mouseMoved({ 50, -30 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81);
    EXPECT_DOUBLE_EQ(a.state.cellHeight(), 79);
    a.view.mouseMoved({ 10, 10 }); // back at the press point: a zero step
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81);
    a.view.mouseReleased({ 10, 10 });
    a.view.mouseMoved({ 500, 500 });
    EXPECT_DOUBLE_EQ(a.state.cellWidth(), 81) << "no drag after the release";
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

TEST(AdjustModeDrawing, BadgeTruncatesSizes)
{
    EXPECT_EQ(TavelinView::badgeSizeLine(80, 80), "Cell: 80\u00D780");
    EXPECT_EQ(TavelinView::badgeSizeLine(80.9, 41.2), "Cell: 80\u00D741");
}
