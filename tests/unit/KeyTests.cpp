// The shortcut decision: Super+Shift and one of five physical keys, the command queued for later.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
constexpr uint32_t superShift = modifiers::shift | modifiers::super;
KeyEvent key(ShortcutKey code, uint32_t flags = superShift) { return { code, flags }; }
}

TEST(Shortcuts, LocalMonitorSwallowsOnlyMatchesAndAKeyHiddenGridStillMatches)
{
    Launched l;
    l.app->toggleGrid();
    EXPECT_TRUE(l.platform.localKeys(key(ShortcutKey::a)));
    EXPECT_FALSE(l.platform.localKeys(key(ShortcutKey::a, modifiers::shift)));
}

TEST(Shortcuts, QueuedCommandsAfterTheDelegateIsGoneDoNothing)
{
    Launched l;
    l.app->shortcuts().handleKeyEvent(key(ShortcutKey::g));
    l.app.reset();
    l.platform.runPosted(); // must not touch the destroyed delegate
}
