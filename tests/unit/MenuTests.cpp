// The tray menu's rows, and when it is rebuilt.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

TEST(Menu, HasTheTwentySixRowsInOrder)
{
    Launched l;
    const char* expected[] = { "Toggle Grid (\u2318\u21E7G)", "", "Grid Size", "  Large (160\u00D7160)",
        "  Medium (80\u00D780)", "  Small (40\u00D740)", "", "Target", "  Full Screen",
        "  Select Window... (\u2318\u21E7W)", "", "Grid Color", "  White", "  Blue", "  Green", "  Cyan",
        "  Yellow", "  Red", "  Orange", "  Pink", "", "Show Cell Labels (\u2318\u21E7L)",
        "Screenshot with Grid (\u2318\u21E7S)", "Adjust Mode (\u2318\u21E7A)", "", "Quit" };
    auto& items = l.platform.menus.back().items;
    ASSERT_EQ(items.size(), 26u);
    for (size_t i = 0; i < 26; ++i) {
        EXPECT_EQ(items[i].title, expected[i]) << "row " << i + 1;
        EXPECT_EQ(items[i].isSeparator, expected[i][0] == '\0') << "row " << i + 1;
    }
    for (auto heading : { 2, 7, 11 }) {
        EXPECT_FALSE(items[heading].enabled);
        EXPECT_EQ(items[heading].action, Command::none);
    }
    int enabled = 0;
    for (auto& item : items)
        enabled += item.enabled;
    EXPECT_EQ(enabled, 26 - 3 - 5);
    for (size_t i = 12; i < 20; ++i)
        EXPECT_EQ(items[i].color, allGridColors[i - 12]);
    EXPECT_EQ(items[25].shortcut, "Ctrl+Q");
    EXPECT_EQ(items[25].action, Command::quitApp);
}

TEST(Menu, CheckMarksAfterLaunchAndAfterEachCommand)
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
    l.platform.trigger("  Orange");
    EXPECT_EQ(l.platform.menus.size(), builds + 1) << "replaced, not edited";
    EXPECT_EQ(l.state().gridColor(), GridColor::orange);
    EXPECT_EQ(checked(), (std::vector<std::string> { "  Full Screen", "  Orange" }));

    l.platform.trigger("Show Cell Labels (\u2318\u21E7L)");
    EXPECT_TRUE(l.row("Show Cell Labels (\u2318\u21E7L)").checked);
    l.platform.trigger("Show Cell Labels (\u2318\u21E7L)");
    EXPECT_FALSE(l.row("Show Cell Labels (\u2318\u21E7L)").checked);
    EXPECT_EQ(l.platform.menus.size(), builds + 3) << "the labels toggle rebuilds every time";

    builds = l.platform.menus.size();
    for (auto title : { "Toggle Grid (\u2318\u21E7G)", "Adjust Mode (\u2318\u21E7A)", "  Medium (80\u00D780)",
             "Toggle Grid (\u2318\u21E7G)" })
        l.platform.trigger(title);
    EXPECT_EQ(l.platform.menus.size(), builds) << "these show no check mark and do not rebuild";
    EXPECT_FALSE(l.row("  Medium (80\u00D780)").checked) << "sizes never carry a mark";
}

TEST(Menu, RowsReachTheirCommands)
{
    Launched l;
    l.platform.trigger("  Small (40\u00D740)");
    EXPECT_EQ(l.state().cellWidth(), 40);
    l.platform.trigger("Adjust Mode (\u2318\u21E7A)");
    EXPECT_TRUE(l.state().isAdjusting());
    l.platform.trigger("Toggle Grid (\u2318\u21E7G)");
    EXPECT_FALSE(l.state().isVisible());
    l.platform.trigger("Toggle Grid (\u2318\u21E7G)");
    l.platform.trigger("  Select Window... (\u2318\u21E7W)");
    EXPECT_TRUE(l.state().isSelectingWindow());
    l.platform.trigger("Quit");
    EXPECT_EQ(l.platform.log.back(), "terminate");
}
