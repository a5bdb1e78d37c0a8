// The shortcut decision: Super+Shift and one of five physical keys, the command queued for later.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {
constexpr uint64_t superShift = KeyEvent::shiftFlag | KeyEvent::commandFlag;
KeyEvent key(uint16_t code, uint64_t flags = superShift) { return { flags, code }; }
void press(Launched& l, uint16_t code)
{
    l.app->handleKeyEvent(key(code));
    l.platform.runPosted();
}
}

TEST(Shortcuts, EachOfTheFiveKeysQueuesItsCommandAndRunsItLater)
{
    Launched l;
    l.platform.windows = {};
    l.platform.pointer = Point { 5, 5 };

    EXPECT_TRUE(l.app->handleKeyEvent(key(KeyEvent::keyG)));
    EXPECT_TRUE(l.state().isVisible()) << "nothing runs inside the handler";
    l.platform.runPosted();
    EXPECT_FALSE(l.state().isVisible());
    press(l, KeyEvent::keyG);

    auto builds = l.platform.menus.size();
    press(l, KeyEvent::keyL);
    EXPECT_TRUE(l.state().showCellLabels());
    EXPECT_EQ(l.platform.menus.size(), builds + 1);
    EXPECT_TRUE(l.row("Show Cell Labels (\u2318\u21E7L)").checked);
    press(l, KeyEvent::keyA);
    EXPECT_TRUE(l.state().isAdjusting());
    press(l, KeyEvent::keyW);
    EXPECT_TRUE(l.state().isSelectingWindow());
    l.platform.clickHandler();
    press(l, KeyEvent::keyS);
    EXPECT_EQ(l.platform.clipboard, "screen+overlay");
}

TEST(Shortcuts, NeedBothSuperAndShiftAndIgnoreOtherModifiers)
{
    Launched l;
    EXPECT_TRUE(l.app->handleKeyEvent(key(KeyEvent::keyG, superShift | 0x40000 | 0x80000 | 0x10000)));
    EXPECT_FALSE(l.app->handleKeyEvent(key(KeyEvent::keyG, KeyEvent::commandFlag)));
    EXPECT_FALSE(l.app->handleKeyEvent(key(KeyEvent::keyG, KeyEvent::shiftFlag)));
    EXPECT_FALSE(l.app->handleKeyEvent(key(KeyEvent::keyG, 0)));
    for (uint16_t other : { uint16_t(2), uint16_t(36), uint16_t(0xFFFF) })
        EXPECT_FALSE(l.app->handleKeyEvent(key(other)));
    EXPECT_EQ(l.platform.posted.size(), 1u);
}

TEST(Shortcuts, LocalMonitorSwallowsOnlyMatchesAndAKeyHiddenGridStillMatches)
{
    Launched l;
    l.app->toggleGrid();
    EXPECT_TRUE(l.platform.localKeys(key(KeyEvent::keyA)));
    EXPECT_FALSE(l.platform.localKeys(key(KeyEvent::keyA, KeyEvent::shiftFlag)));
    l.platform.runPosted();
    EXPECT_FALSE(l.state().isAdjusting());
    l.platform.localKeys(key(KeyEvent::keyL));
    l.platform.runPosted();
    EXPECT_TRUE(l.state().showCellLabels()) << "labels switch whether or not the grid shows";
}

TEST(Shortcuts, WithoutKeyObservationTavelinKeepsRunningWithTheMenu)
{
    FakePlatform platform;
    platform.keyMonitorsAvailable = false;
    AppDelegate app(platform);
    app.applicationDidFinishLaunching();
    EXPECT_FALSE(platform.menus.empty());
    platform.trigger("Toggle Grid (\u2318\u21E7G)");
    EXPECT_FALSE(app.gridState().isVisible());
}

TEST(Shortcuts, QueuedCommandsAfterTheDelegateIsGoneDoNothing)
{
    Launched l;
    l.app->handleKeyEvent(key(KeyEvent::keyG));
    l.app.reset();
    l.platform.runPosted(); // must not touch the destroyed delegate
    SUCCEED();
}
