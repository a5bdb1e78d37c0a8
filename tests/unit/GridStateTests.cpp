// The settings object: colours by raw value, and change notification before each write.
#include "core/GridState.h"

#include <gtest/gtest.h>

using namespace tavelin::core;

TEST(GridColor, RawValuesRoundTripExactlyAndNothingElseMatches)
{
    for (auto color : allGridColors)
        EXPECT_EQ(gridColorFromRawValue(rawValue(color)), color);
    for (auto other : { "red", "  Red", "", "Red " })
        EXPECT_FALSE(gridColorFromRawValue(other)) << other;
}

TEST(GridStateNotification, EverySubscriberIsToldBeforeTheStoreAndOneUnsubscribedMeanwhileIsNotCalled)
{
    GridState s;
    std::vector<bool> seenBefore;
    int second = 0;
    GridState::SubscriptionId idSecond = 0;
    s.subscribe([&] { seenBefore.push_back(s.showCellLabels()); });
    idSecond = s.subscribe([&] { ++second; });

    s.setShowCellLabels(!s.showCellLabels()); // a toggle is one write
    ASSERT_EQ(seenBefore.size(), 1u);
    EXPECT_FALSE(seenBefore[0]) << "subscribers run before the store";
    EXPECT_TRUE(s.showCellLabels());
    s.setCellWidth(40);
    EXPECT_EQ(second, 2);

    int first = 0, later = 0;
    GridState::SubscriptionId idLater = 0;
    s.unsubscribe(idSecond);
    s.subscribe([&] { ++first; s.unsubscribe(idLater); });
    idLater = s.subscribe([&] { ++later; });
    s.setGridColor(GridColor::red);
    s.setGridColor(GridColor::blue);
    EXPECT_EQ(first, 2);
    EXPECT_LE(later, 1) << "unsubscribed from inside a notification";
    EXPECT_EQ(second, 2);
    EXPECT_EQ(s.gridColor(), GridColor::blue);
}
