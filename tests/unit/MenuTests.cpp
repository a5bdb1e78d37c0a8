// The tray menu: which rows carry what, where the check marks go, and when it is rebuilt.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

TEST(Menu, OnlyTargetColourAndLabelRowsAreCheckableAndQuitHasItsKey)
{
    Launched l;
    for (auto& item : l.platform.menus.back().items) {
        bool checkable = item.action == Command::setTargetFullScreen || item.action == Command::startWindowSelection
            || item.action == Command::setGridColor || item.action == Command::toggleCellLabels;
        EXPECT_EQ(item.checkable, checkable) << item.title;
        EXPECT_EQ(item.enabled, item.action != Command::none) << item.title;
    }
    for (auto color : allGridColors)
        EXPECT_EQ(l.row(Command::setGridColor, color).title, "  " + std::string(rawValue(color)));
    EXPECT_EQ(l.row(Command::quitApp).shortcut, "Ctrl+Q");
}

TEST(Menu, CheckMarksMoveWithTheStateAndOnlyThoseCommandsRebuild)
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

    auto builds = l.platform.menus.size();
    l.platform.trigger(Command::setGridColor, GridColor::orange);
    EXPECT_EQ(l.state().gridColor(), GridColor::orange);
    EXPECT_EQ(checked(), (std::vector<std::string> { "  Full Screen", "  Orange" }));
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_TRUE(l.row(Command::toggleCellLabels).checked);
    l.platform.trigger(Command::toggleCellLabels);
    EXPECT_FALSE(l.row(Command::toggleCellLabels).checked);
    EXPECT_EQ(l.platform.menus.size(), builds + 3);

    builds = l.platform.menus.size();
    for (auto command : { Command::toggleGrid, Command::toggleAdjustMode, Command::setSizeMedium, Command::toggleGrid })
        l.platform.trigger(command);
    EXPECT_EQ(l.platform.menus.size(), builds) << "these show no check mark and do not rebuild";
}
