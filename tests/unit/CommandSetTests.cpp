// The script commands through the fake desktop: checked arguments, the same effects as the menu, the state.
#include "Launched.h"

#include "core/CommandSet.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
struct Scripted : Launched {
    CommandSet commands { *app, platform };
};
}

TEST(CommandSet, CellAndAtFollowTheGridToAWindowAndItsScale)
{
    Scripted s;
    auto c4 = s.commands.cell("c4");
    ASSERT_TRUE(c4.ok());
    EXPECT_EQ(c4.value().name, "C4");
    EXPECT_EQ(c4.value().centre, (PixelPoint { 226, 327 }));
    EXPECT_EQ(s.commands.at(226, 327).value().name, "C4");
    EXPECT_EQ(s.commands.cell("ZZ99").error().message, "no cell ZZ99 on the grid (columns A to Q, rows 1 to 10)");
    EXPECT_EQ(s.commands.at(10, 300).error().message, "no cell at 10 300: that is on a ruler band");

    s.platform.windows = { { 77, 9, 0, Rect { 300, 150, 500, 400 } } };
    ASSERT_TRUE(s.commands.follow(77).ok());
    EXPECT_EQ(s.overlay().frame(), (Rect { 300, 150, 500, 400 }));
    EXPECT_EQ(s.commands.cell("C4").value().centre, (PixelPoint { 526, 452 }));
    EXPECT_EQ(s.commands.state().window, 77u);
    EXPECT_EQ(s.commands.follow(78).error().message, "window 0x4e is not a viewable top-level window");

    s.commands.fullScreen();
    s.platform.scale = 2;
    EXPECT_EQ(s.commands.cell("C4").value().centre, (PixelPoint { 452, 654 }));
    EXPECT_EQ(s.commands.state().frame, (PixelRect { 0, 0, 2880, 1800 }));
}

TEST(CommandSet, ScreensByNameAndAGoneScreenGivesTheGridBackToThePrimary)
{
    Scripted s;
    s.platform.screenList = { { "left", Rect { 0, 0, 1440, 900 }, true }, { "right", Rect { 1440, 0, 1280, 1024 }, false } };
    ASSERT_TRUE(s.commands.screen("right").ok());
    EXPECT_EQ(s.overlay().frame(), (Rect { 1440, 0, 1280, 1024 }));
    EXPECT_EQ(s.commands.state().screen, "right");
    EXPECT_TRUE(s.commands.screens()[1].grid);
    EXPECT_EQ(s.commands.screen("nowhere").error().message, "no screen named \"nowhere\" (screens: left, right)");

    s.platform.screenList[1].frame.width = 1920; // resized
    s.platform.screensChanged();
    EXPECT_EQ(s.overlay().frame(), (Rect { 1440, 0, 1920, 1024 }));
    s.platform.screenList.pop_back(); // gone
    s.platform.screensChanged();
    EXPECT_EQ(s.overlay().frame(), (Rect { 0, 0, 1440, 900 }));
    EXPECT_EQ(s.commands.state().screen, "left");
}

TEST(CommandSet, TheStateIsToldOnceATurnAndOnlyWhenItChanged)
{
    Scripted s;
    std::vector<GridSnapshot> told;
    s.commands.watchState([&](const GridSnapshot& now) { told.push_back(now); });
    s.commands.labels(Switch::on);
    s.commands.size(40, 40);
    s.platform.runPosted();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].labels);
    EXPECT_EQ(told[0].columns, 35);
    s.commands.labels(Switch::on);
    s.platform.runPosted();
    EXPECT_EQ(told.size(), 1u) << "a write of the same value changes nothing";
}

TEST(CommandSet, ARefusedSizeIsShownExactly)
{
    Scripted s;
    EXPECT_EQ(s.commands.size(80, 400.0000001).error().message, "400.0000001 is outside 20 to 400 points");
    EXPECT_EQ(s.commands.size(5, 80).error().message, "5 is outside 20 to 400 points");
    EXPECT_EQ(s.app->gridState().cellWidth(), 80);
}

TEST(CommandSet, ALongArgumentIsShownByItsStartCutBetweenCharacters)
{
    Scripted s;
    auto refused = s.commands.color(std::string(100000, 'm')).error().message;
    EXPECT_EQ(refused.substr(0, refused.find(';')), "no colour \"" + std::string(60, 'm') + "\u2026\"");
    std::string farName = "b", farShown = "no cell B";
    farName.append(1000, '1');
    farShown.append(59, '1').append("\u2026");
    auto far = s.commands.cell(farName).error().message;
    EXPECT_EQ(far.substr(0, far.find(" on the grid")), farShown);
    std::string accents;
    for (int i = 0; i < 50; ++i)
        accents += "\u00e9"; // two bytes each
    EXPECT_EQ(clipped(accents), accents.substr(0, 60) + "\u2026");
    std::string shifted = "x" + accents, cut = shifted.substr(0, 59) + "\u2026";
    EXPECT_EQ(clipped(shifted), cut) << "not inside a character";
    EXPECT_EQ(clipped(std::string(80, 'a')), std::string(80, 'a'));
}
