// Window targeting: the hit test's rules, the selection's states, and tracking as a state machine.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

namespace {
WindowRecord window(uint32_t windowId, Rect bounds, int32_t pid = 100, std::optional<int64_t> layer = 0)
{
    return { windowId, pid, layer, bounds };
}
}

TEST(HitTest, FrontmostOrdinaryWindowOfAnotherProcessUnderThePointWins)
{
    Launched l;
    auto& w = l.platform.windows;
    w = { window(1, { 0, 0, 300, 300 }, 100, 3),  // kept above: not ordinary
        window(2, { 0, 0, 300, 300 }, l.platform.pid), // our own process
        window(3, { 0, 0, 300, 300 }, 100, std::nullopt), // no layer counts as ordinary
        window(4, { 0, 0, 300, 300 }) };
    EXPECT_EQ(l.app->windows().findWindowAt({ 10, 10 }), 3u);
    w.erase(w.begin() + 2);
    EXPECT_EQ(l.app->windows().findWindowAt({ 10, 10 }), 4u);
    l.platform.ownWindows = { 4 };
    EXPECT_FALSE(l.app->windows().findWindowAt({ 10, 10 })) << "our own windows by id too";
}

TEST(HitTest, EdgesAndTheFiftyPointThreshold)
{
    Launched l;
    l.platform.windows = { window(7, { 100, 100, 51, 51 }) };
    EXPECT_EQ(l.app->windows().findWindowAt({ 100, 100 }), 7u) << "left and top edges are inside";
    EXPECT_FALSE(l.app->windows().findWindowAt({ 151, 120 })) << "right edge is outside";
    EXPECT_FALSE(l.app->windows().findWindowAt({ 120, 151 })) << "bottom edge is outside";
    l.platform.windows = { window(8, { 100, 100, 50, 200 }), window(9, { 100, 100, 200, 50 }) };
    EXPECT_FALSE(l.app->windows().findWindowAt({ 120, 120 })) << "50 points is not more than 50";
    l.platform.windows = { window(10, { 100, 100, 0, 0 }) };
    EXPECT_FALSE(l.app->windows().findWindowAt({ 100, 100 })) << "an empty rectangle holds nothing";
}

TEST(HitTest, RecordsWithoutBoundsOrIdAreSkippedOnesWithoutAPidAreNot)
{
    Launched l;
    WindowRecord noBounds { 1, 100, 0, std::nullopt };
    WindowRecord noNumber { std::nullopt, 100, 0, Rect { 0, 0, 200, 200 } };
    WindowRecord noPid { 3, std::nullopt, 0, Rect { 0, 0, 200, 200 } };
    l.platform.windows = { noBounds, noNumber, noPid, window(4, { 0, 0, 200, 200 }) };
    EXPECT_EQ(l.app->windows().findWindowAt({ 50, 50 }), 3u) << "many X clients set no pid";
    l.platform.ownWindows = { 3 };
    EXPECT_EQ(l.app->windows().findWindowAt({ 50, 50 }), 4u) << "ours without a pid, known by id";
    l.platform.windows = {};
    EXPECT_FALSE(l.app->windows().findWindowAt({ 50, 50 }));
}

TEST(WindowSelection, NoClickToGrabEndsTheSelectionWithTheGridShown)
{
    Launched l;
    l.platform.clickGrabAvailable = false;
    l.app->startWindowSelection();
    EXPECT_FALSE(l.state().isSelectingWindow());
    EXPECT_TRUE(l.overlay().shown);
}

TEST(WindowSelection, HiddenGridNeitherStartsNorIsShownByTheClick)
{
    Launched l;
    l.app->toggleGrid();
    l.app->startWindowSelection();
    EXPECT_FALSE(l.state().isSelectingWindow());

    l.app->toggleGrid();
    l.platform.windows = { window(42, { 100, 50, 800, 600 }) };
    l.app->startWindowSelection();
    l.app->toggleGrid(); // hidden while the selection waits
    l.app->toggleGrid();
    EXPECT_FALSE(l.overlay().shown) << "shown again, it still waits for the click";
    l.app->toggleGrid();
    l.platform.click({ 200, 200 });
    EXPECT_EQ(l.state().targetMode().windowId(), 42u);
    EXPECT_FALSE(l.overlay().shown);
    EXPECT_FALSE(l.app->windows().isTracking());
    l.app->toggleGrid();
    EXPECT_TRUE(l.overlay().shown);
    EXPECT_TRUE(l.app->windows().isTracking());
}

TEST(WindowSelection, AdjustModeSurvivesASelection)
{
    Launched l;
    l.app->toggleAdjustMode();
    l.app->startWindowSelection();
    EXPECT_TRUE(l.overlay().ignoresMouse);
    l.platform.click();
    EXPECT_TRUE(l.state().isAdjusting());
    EXPECT_FALSE(l.overlay().ignoresMouse);
}

TEST(Tracking, OneTimerAtMostAndFullScreenStopsItAndKeepsAHiddenGridHidden)
{
    Launched l;
    l.state().setTargetMode(TargetMode::window(42));
    l.app->windows().startTracking();
    l.app->windows().startTracking();
    EXPECT_EQ(l.platform.timers.size(), 1u);
    l.platform.trigger(Command::setTargetFullScreen);
    EXPECT_TRUE(l.platform.timers.empty());
    EXPECT_TRUE(l.state().targetMode().isFullScreen());

    l.state().setTargetMode(TargetMode::window(42));
    l.app->toggleGrid();
    l.platform.trigger(Command::setTargetFullScreen);
    EXPECT_FALSE(l.overlay().shown);
    EXPECT_TRUE(l.platform.row(Command::setTargetFullScreen).checked);
}

TEST(Tracking, TheDesktopsWordMovesTheGridAtOnceAndABurstOncePerFrame)
{
    Launched l;
    l.platform.windows = { window(42, { 100, 50, 800, 600 }) };
    l.app->followWindow(42);
    ASSERT_EQ(l.platform.boundsWatches.size(), 1u);
    EXPECT_EQ(l.platform.boundsWatches.begin()->second.first, 42u);

    l.platform.windows[0].bounds = Rect { 300, 200, 800, 600 };
    l.platform.boundsChanged();
    EXPECT_EQ(l.overlay().frame(), (Rect { 300, 200, 800, 600 })) << "no poll needed";

    // Within the same frame, later moves wait for it to pass and go as one.
    l.platform.windows[0].bounds = Rect { 310, 200, 800, 600 };
    l.platform.boundsChanged();
    l.platform.windows[0].bounds = Rect { 320, 200, 800, 600 };
    l.platform.boundsChanged();
    EXPECT_EQ(l.overlay().frame(), (Rect { 300, 200, 800, 600 }));
    ASSERT_EQ(l.platform.delayed.size(), 1u);
    EXPECT_LE(l.platform.delayed.front().first, 1.0 / 60);
    l.platform.runDelayed();
    EXPECT_EQ(l.overlay().frame(), (Rect { 320, 200, 800, 600 }));
    l.platform.runDelayed(); // a quiet frame ends the burst
    EXPECT_TRUE(l.platform.delayed.empty());

    l.platform.windows[0].bounds = Rect { 0, 0, 640, 480 };
    l.platform.boundsChanged();
    EXPECT_EQ(l.overlay().frame(), (Rect { 0, 0, 640, 480 })) << "after a quiet frame, at once again";

    l.platform.runDelayed();
    l.platform.windows.clear();
    l.platform.boundsChanged();
    EXPECT_TRUE(l.platform.boundsWatches.empty()) << "the window gone";
    EXPECT_TRUE(l.platform.timers.empty());
}

TEST(Tracking, TheWatchLastsAsLongAsThePollAndTheIntervalCanBeLengthened)
{
    Launched l;
    l.platform.windows = { window(42, { 100, 50, 800, 600 }) };
    l.app->windows().setPollInterval(600);
    l.app->followWindow(42);
    ASSERT_EQ(l.platform.timers.size(), 1u);
    EXPECT_DOUBLE_EQ(l.platform.timers.begin()->second.interval, 600);
    l.app->toggleGrid();
    EXPECT_TRUE(l.platform.boundsWatches.empty());
    l.platform.windows[0].bounds = Rect { 300, 200, 800, 600 };
    l.app->toggleGrid();
    ASSERT_EQ(l.platform.boundsWatches.size(), 1u);
    l.platform.boundsChanged();
    EXPECT_EQ(l.overlay().frame(), (Rect { 300, 200, 800, 600 }));
    l.app->windows().setPollInterval(0); // nonsense keeps what was set
    EXPECT_DOUBLE_EQ(l.platform.timers.begin()->second.interval, 600);
}

TEST(Tracking, ATargetNotShownTakesTheGridOffTheScreenUntilItIsShownAgain)
{
    Launched l;
    l.platform.windows = { window(42, { 100, 50, 800, 600 }) };
    l.app->followWindow(42);
    auto& target = l.platform.windows[0];

    target.shown = false; // minimized, or moved to another desktop
    target.bounds = Rect { 0, 0, 160, 24 };
    l.platform.tickTimers();
    EXPECT_FALSE(l.overlay().shown);
    EXPECT_EQ(l.overlay().frame(), (Rect { 100, 50, 800, 600 })) << "not moved to where a hidden window is";
    EXPECT_EQ(l.state().targetMode().windowId(), 42u) << "still the target";
    l.app->toggleAdjustMode();
    l.platform.tickTimers();
    EXPECT_FALSE(l.overlay().shown) << "nothing else brings it back";

    target.shown = true;
    target.bounds = Rect { 300, 200, 640, 480 };
    l.platform.tickTimers();
    EXPECT_TRUE(l.overlay().shown);
    EXPECT_EQ(l.overlay().frame(), (Rect { 300, 200, 640, 480 }));
    EXPECT_FALSE(l.overlay().ignoresMouse) << "adjust mode as it was";
}

TEST(Tracking, WhatHappensMeanwhileIsSeenWhenTheGridIsShownAgain)
{
    Launched l;
    l.platform.windows = { window(42, { 100, 50, 800, 600 }) };
    l.app->followWindow(42);
    l.app->toggleGrid();
    l.platform.windows[0].shown = false;
    l.app->toggleGrid();
    EXPECT_FALSE(l.overlay().shown) << "not shown over a window that is not there";
    l.app->toggleGrid();
    l.platform.windows[0].shown = true;
    l.app->toggleGrid();
    EXPECT_TRUE(l.overlay().shown) << "at once, not at the next tick";

    // A pick while the target is not shown, ending without a click, keeps the grid off the screen;
    // a pick of another window, or the full screen, brings it back.
    l.platform.windows[0].shown = false;
    l.platform.tickTimers();
    l.app->startWindowSelection();
    l.platform.clickFailed();
    EXPECT_FALSE(l.overlay().shown);
    l.app->setTargetFullScreen();
    EXPECT_TRUE(l.overlay().shown);
    EXPECT_EQ(l.overlay().frame(), (Rect { 0, 0, 1440, 900 }));
}
