// The tray menu: where the check marks go as the state changes.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

TEST(Menu, CheckMarksMoveWithTheState)
{
    Launched l;
    auto checked = [&] {
        std::vector<std::string> titles;
        for (auto& item : l.platform.menus.back().items) {
            if (item.checked)
                titles.push_back(item.title);
        }
        return titles;
    };
    EXPECT_EQ(checked(), (std::vector<std::string> { "  Full Screen", "  White" }));

    l.platform.trigger(Command::setGridColor, GridColor::orange);
    EXPECT_EQ(l.state().gridColor(), GridColor::orange);
    EXPECT_EQ(checked(), (std::vector<std::string> { "  Full Screen", "  Orange" }));
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_TRUE(l.row(Command::toggleCellLabels).checked);
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_FALSE(l.row(Command::toggleCellLabels).checked);
}

TEST(Menu, WithoutATrayTheUserHearsWhatStillWorksAndNothingOnceTavelinIsGone)
{
    Launched l;
    ASSERT_TRUE(l.platform.trayNotShown);
    auto notShown = l.platform.trayNotShown;
    notShown();
    ASSERT_EQ(l.platform.notifications.size(), 1u);
    EXPECT_NE(l.platform.notifications[0].find("tavelin quit"), std::string::npos) << "how to end it without the menu";
    ASSERT_EQ(l.platform.problems.size(), 1u);
    l.app.reset();
    notShown(); // the platform's timer may outlive the app
    EXPECT_EQ(l.platform.notifications.size(), 1u);
}
