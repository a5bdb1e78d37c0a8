// The tray menu: its check marks follow the state, and a late word of no tray reaches no one.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

TEST(Menu, TheCellLabelsRowIsCheckedWhileTheLabelsShow)
{
    Launched l;
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_TRUE(l.platform.row(Command::toggleCellLabels).checked);
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_FALSE(l.platform.row(Command::toggleCellLabels).checked);
}

TEST(Menu, NoTrayToldAfterTavelinIsGoneSaysNothing)
{
    Launched l;
    ASSERT_TRUE(l.platform.trayNotShown);
    auto notShown = l.platform.trayNotShown;
    l.app.reset();
    notShown(); // the platform's timer may outlive the app
    EXPECT_TRUE(l.platform.notifications.empty());
}
