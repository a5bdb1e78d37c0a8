// The settings object: colours by raw value, and change notification before each write.
#include "core/GridState.h"

#include <gtest/gtest.h>

using namespace tavelin::core;

TEST(GridColor, RawValuesRoundTripExactlyAndNothingElseMatches)
{
    for (auto color : allGridColors)
        EXPECT_EQ(gridColorFromRawValue(rawValue(color)), color);
    EXPECT_FALSE(gridColorFromRawValue("red"));
    EXPECT_FALSE(gridColorFromRawValue("  Red"));
    EXPECT_FALSE(gridColorFromRawValue(""));
    EXPECT_FALSE(gridColorFromRawValue("Red "));
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
