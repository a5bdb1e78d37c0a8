// Launch and the grid commands: what each writes, and what it does to the overlay and the timer.
#include "Launched.h"

#include <gtest/gtest.h>

using namespace tavelin::core;
using namespace tavelin::test;

TEST(Launch, WithoutAScreenThereIsNoOverlayButCommandsStillUpdateTheState)
{
    FakePlatform platform;
    platform.screen.reset();
    AppDelegate app(platform);
    app.launch();
    EXPECT_EQ(platform.overlay, nullptr);
    EXPECT_FALSE(platform.menus.empty()) << "the menu is still there";
    app.toggleGrid();
    EXPECT_FALSE(app.gridState().isVisible());
    app.toggleGrid();
    app.toggleAdjustMode();
    EXPECT_TRUE(app.gridState().isAdjusting());
    app.setSizeSmall();
    EXPECT_EQ(app.gridState().cellWidth(), 40);
    app.startWindowSelection();
    platform.click();
    EXPECT_FALSE(app.gridState().isSelectingWindow());
    app.takeScreenshot();
    app.setTargetFullScreen();
    EXPECT_TRUE(platform.clipboard.empty());
}

TEST(ToggleGrid, HidingEndsAdjustModeAndStopsTrackingShowingResumesIt)
{
    Launched l;
    l.app->toggleAdjustMode();
    EXPECT_FALSE(l.overlay().ignoresMouse);
    l.state().setTargetMode(TargetMode::window(9));
    l.app->windows().startTracking();

    l.app->toggleGrid();
    EXPECT_FALSE(l.state().isVisible());
    EXPECT_FALSE(l.state().isAdjusting());
    EXPECT_TRUE(l.overlay().ignoresMouse);
    EXPECT_FALSE(l.overlay().shown);
    EXPECT_FALSE(l.app->windows().isTracking());
    EXPECT_TRUE(l.platform.timers.empty());

    l.app->toggleAdjustMode();
    EXPECT_FALSE(l.state().isAdjusting()) << "adjust mode needs a visible grid";

    l.app->toggleGrid();
    EXPECT_TRUE(l.overlay().shown);
    EXPECT_FALSE(l.state().isAdjusting()) << "showing again does not restore adjust mode";
    EXPECT_TRUE(l.app->windows().isTracking());
    EXPECT_EQ(l.platform.timers.size(), 1u);
}

TEST(Teardown, RemovesBothKeyMonitorsAndTheTimer)
{
    Launched l;
    l.state().setTargetMode(TargetMode::window(3));
    l.app->windows().startTracking();
    l.app.reset();
    auto& log = l.platform.log;
    EXPECT_NE(std::find(log.begin(), log.end(), "remove monitor 1"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "remove monitor 2"), log.end());
    EXPECT_TRUE(l.platform.timers.empty());
}
