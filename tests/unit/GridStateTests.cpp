// The settings object: defaults, colours by raw value, and change notification before each write.
#include "core/GridState.h"

#include <gtest/gtest.h>

using namespace tavelin::core;

TEST(GridState, StartsFromTheDefaults)
{
    GridState s;
    EXPECT_EQ(s.cellWidth(), 80);
    EXPECT_EQ(s.cellHeight(), 80);
    EXPECT_TRUE(s.isVisible());
    EXPECT_FALSE(s.isAdjusting());
    EXPECT_FALSE(s.isSelectingWindow());
    EXPECT_TRUE(s.targetMode().isFullScreen());
    EXPECT_FALSE(s.showCellLabels());
    EXPECT_EQ(s.gridColor(), GridColor::white);
    EXPECT_EQ(GridState::minCellSize, 20);
    EXPECT_EQ(GridState::maxCellSize, 400);
}

TEST(GridColor, RawValuesRoundTripExactlyAndNothingElseMatches)
{
    const char* names[] = { "White", "Blue", "Green", "Cyan", "Yellow", "Red", "Orange", "Pink" };
    ASSERT_EQ(allGridColors.size(), 8u);
    EXPECT_EQ(allGridColors.front(), GridColor::white);
    EXPECT_EQ(allGridColors.back(), GridColor::pink);
    for (size_t i = 0; i < allGridColors.size(); ++i) {
        EXPECT_EQ(rawValue(allGridColors[i]), names[i]);
        EXPECT_EQ(gridColorFromRawValue(names[i]), allGridColors[i]);
    }
    EXPECT_EQ(gridColorFromRawValue("Red"), GridColor::red);
    EXPECT_FALSE(gridColorFromRawValue("red"));
    EXPECT_FALSE(gridColorFromRawValue("  Red"));
    EXPECT_FALSE(gridColorFromRawValue(""));
    EXPECT_FALSE(gridColorFromRawValue("Red "));
}

TEST(TargetMode, CarriesTheWindowNumberOnlyForAWindow)
{
    auto w = TargetMode::window(0xFFFFFFFFu);
    EXPECT_TRUE(w.isWindow());
    EXPECT_EQ(w.windowId(), 0xFFFFFFFFu);
    EXPECT_FALSE(TargetMode::fullScreen().windowId());
}

TEST(GridStateNotification, TellsEverySubscriberBeforeTheValueIsStoredOncePerWrite)
{
    GridState s;
    std::vector<bool> seenBefore;
    int second = 0;
    s.subscribe([&] { seenBefore.push_back(s.showCellLabels()); });
    s.subscribe([&] { ++second; });

    s.setShowCellLabels(!s.showCellLabels()); // a toggle is one write
    ASSERT_EQ(seenBefore.size(), 1u);
    EXPECT_FALSE(seenBefore[0]) << "subscribers run before the store";
    EXPECT_TRUE(s.showCellLabels());

    s.setIsVisible(true); // unchanged value still notifies
    s.setCellWidth(80);
    s.setTargetMode(TargetMode::window(7));
    EXPECT_EQ(seenBefore.size(), 4u);
    EXPECT_EQ(second, 4);
}

TEST(GridStateNotification, UnsubscribedCallbacksAreNotCalledEvenFromInsideANotification)
{
    GridState s;
    int a = 0, b = 0;
    GridState::SubscriptionId idB = 0;
    s.subscribe([&] { ++a; s.unsubscribe(idB); });
    idB = s.subscribe([&] { ++b; });
    s.setGridColor(GridColor::red);
    s.setGridColor(GridColor::blue);
    EXPECT_EQ(a, 2);
    EXPECT_LE(b, 1);
    EXPECT_EQ(s.gridColor(), GridColor::blue);
}
