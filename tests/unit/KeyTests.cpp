// The shortcut decision: Super+Shift and one of five physical keys, the command queued for later.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
constexpr uint32_t superShift = modifiers::shift | modifiers::super;
KeyEvent key(ShortcutKey code, uint32_t flags = superShift) { return { code, flags }; }
void press(Launched& l, ShortcutKey code)
{
    l.app->shortcuts().handleKeyEvent(key(code));
    l.platform.runPosted();
}
}

TEST(Shortcuts, EachOfTheFiveKeysQueuesItsCommandAndRunsItLater)
{
    Launched l;
    l.platform.windows = {};

    EXPECT_TRUE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g)));
    EXPECT_TRUE(l.state().isVisible()) << "nothing runs inside the handler";
    l.platform.runPosted();
    EXPECT_FALSE(l.state().isVisible());
    press(l, ShortcutKey::g);

    auto builds = l.platform.menus.size();
    press(l, ShortcutKey::l);
    EXPECT_TRUE(l.state().showCellLabels());
    EXPECT_EQ(l.platform.menus.size(), builds + 1);
    EXPECT_TRUE(l.row(Command::toggleCellLabels).checked);
    press(l, ShortcutKey::a);
    EXPECT_TRUE(l.state().isAdjusting());
    press(l, ShortcutKey::w);
    EXPECT_TRUE(l.state().isSelectingWindow());
    l.platform.click({ 5, 5 });
    press(l, ShortcutKey::s);
    EXPECT_EQ(l.platform.clipboard, "screen+overlay");
}

TEST(Shortcuts, NeedBothSuperAndShiftAndIgnoreOtherModifiers)
{
    Launched l;
    EXPECT_TRUE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g, superShift | modifiers::control | modifiers::alt | modifiers::capsLock)));
    EXPECT_FALSE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g, modifiers::super)));
    EXPECT_FALSE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g, modifiers::shift)));
    EXPECT_FALSE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g, 0)));
    EXPECT_FALSE(l.app->shortcuts().handleKeyEvent(key(ShortcutKey::none)));
    EXPECT_EQ(l.platform.posted.size(), 1u);
}

TEST(Shortcuts, LocalMonitorSwallowsOnlyMatchesAndAKeyHiddenGridStillMatches)
{
    Launched l;
    l.app->toggleGrid();
    EXPECT_TRUE(l.platform.localKeys(key(ShortcutKey::a)));
    EXPECT_FALSE(l.platform.localKeys(key(ShortcutKey::a, modifiers::shift)));
    l.platform.runPosted();
    EXPECT_FALSE(l.state().isAdjusting());
    l.platform.localKeys(key(ShortcutKey::l));
    l.platform.runPosted();
    EXPECT_TRUE(l.state().showCellLabels()) << "labels switch whether or not the grid shows";
}

TEST(Shortcuts, WithoutKeyObservationTavelinKeepsRunningWithTheMenu)
{
    FakePlatform platform;
    platform.keyWatchesAvailable = false;
    AppDelegate app(platform);
    app.launch();
    EXPECT_FALSE(platform.menus.empty());
    platform.trigger(Command::toggleGrid);
    EXPECT_FALSE(app.gridState().isVisible());
}

TEST(Shortcuts, QueuedCommandsAfterTheDelegateIsGoneDoNothing)
{
    Launched l;
    l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g));
    l.app.reset();
    l.platform.runPosted(); // must not touch the destroyed delegate
    SUCCEED();
}
