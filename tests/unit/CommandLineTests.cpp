// The command line's words: each subcommand's operands and options, and one clear line for bad ones.
#include "shared/cli/CommandLine.h"

#include <gtest/gtest.h>

using namespace tavelin::shared::cli;
using tavelin::core::Switch;

namespace {
Request ok(std::vector<std::string> words)
{
    auto parsed = parseCommandLine(words);
    if (auto* error = std::get_if<UsageError>(&parsed))
        ADD_FAILURE() << "refused: " << error->message;
    return std::get_if<Request>(&parsed) ? std::get<Request>(parsed) : Request {};
}

std::string refused(std::vector<std::string> words)
{
    auto parsed = parseCommandLine(words);
    auto* error = std::get_if<UsageError>(&parsed);
    return error ? error->message : "(accepted)";
}
}

TEST(CommandLine, SizesAreNumbersFrom20To400AndTheHeightDefaultsToTheWidth)
{
    auto square = ok({ "size", "80" });
    EXPECT_EQ(square.width, 80);
    EXPECT_EQ(square.height, 80);
    auto wide = ok({ "size", "120.5", "20" });
    EXPECT_EQ(wide.width, 120.5);
    EXPECT_EQ(wide.height, 20);
    EXPECT_EQ(ok({ "size", "400" }).width, 400);
    EXPECT_EQ(refused({ "size", "5" }), "size: 5 is outside 20 to 400 points (usage: tavelin size W [H])");
    EXPECT_EQ(refused({ "size", "80", "401" }), "size: 401 is outside 20 to 400 points (usage: tavelin size W [H])");
    EXPECT_EQ(refused({ "size", "abc" }), "size: \"abc\" is not a number (usage: tavelin size W [H])");
    for (const char* bad : { "", "80px", "nan", "inf", "1e999", "0x50", "0x1p6", "80,5" })
        EXPECT_NE(refused({ "size", bad }), "(accepted)") << bad;
}

TEST(CommandLine, ColoursWindowsPointsAndScreensAreCheckedBeforeAnythingIsAsked)
{
    EXPECT_EQ(ok({ "color", "pInK" }).name, "pInK");
    EXPECT_NE(refused({ "color", "mauve" }).find("White, Blue, Green, Cyan, Yellow, Red, Orange, Pink"), std::string::npos);

    for (const char* bad : { "0", "0x", "-5", "12ab", "0x100000000", "window" })
        EXPECT_NE(refused({ "follow", bad }), "(accepted)") << bad;

    auto at = ok({ "at", "--json", "-5", "300" });
    EXPECT_EQ(at.x, -5);
    EXPECT_EQ(at.y, 300);
    EXPECT_TRUE(at.json);
    EXPECT_EQ(refused({ "at", "10.5", "3" }), "at: \"10.5\" is not a whole number of pixels (usage: tavelin at X Y [--json])");
    EXPECT_EQ(refused({ "at", "10" }), "at: missing argument (usage: tavelin at X Y [--json])");

    EXPECT_TRUE(ok({ "screen", "--json" }).json);
    EXPECT_EQ(ok({ "screen", "HDMI-1" }).name, "HDMI-1");
    EXPECT_NE(refused({ "screen", "HDMI-1", "--json" }), "(accepted)");
}
