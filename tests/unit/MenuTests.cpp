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
