// The script commands through the fake desktop: when the state is told, and how refused arguments read.
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
    EXPECT_EQ(s.app->gridState().cellWidth(), 80);
}

TEST(CommandSet, ALongArgumentIsShownByItsStartCutBetweenCharacters)
{
    Scripted s;
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
