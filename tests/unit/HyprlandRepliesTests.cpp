// Hyprland's replies read into windows (borders, shown workspaces, stacking, ids) and the events that matter.
#include "wayland/windows/HyprlandReplies.h"

#include "WindowLists.h"

#include <gtest/gtest.h>

using namespace tavelin::wayland::windows;
using tavelin::core::Rect;
using tavelin::test::shownFlags;
using tavelin::test::windowIds;

namespace {

// j/clients and j/monitors as documented: two monitors showing workspaces 1 and 3, a special one over the first.
constexpr char clients[] = R"([
 {"address":"0x55d0c0a1b2c0","mapped":true,"hidden":false,"at":[12,52],"size":[700,830],
  "workspace":{"id":1,"name":"1"},"floating":false,"pid":101,"class":"foot","fullscreen":0,"focusHistoryID":2},
 {"address":"0x55d0c0a1b3d0","mapped":true,"hidden":false,"at":[300,200],"size":[500,400],
  "workspace":{"id":1,"name":"1"},"floating":true,"pid":102,"class":"foot","fullscreen":0,"focusHistoryID":3},
 {"address":"0x55d0c0a1b4e0","mapped":true,"hidden":false,"at":[400,250],"size":[500,400],
  "workspace":{"id":1,"name":"1"},"floating":true,"pid":103,"class":"foot","fullscreen":0,"focusHistoryID":1},
 {"address":"0x55d0c0a1b5f0","mapped":true,"hidden":false,"at":[1440,0],"size":[1920,1080],
  "workspace":{"id":3,"name":"3"},"floating":false,"pid":104,"class":"mpv","fullscreen":true,"focusHistoryID":0},
 {"address":"0x55d0c0a1b600","mapped":true,"hidden":false,"at":[20,60],"size":[600,400],
  "workspace":{"id":2,"name":"2"},"floating":false,"pid":105,"class":"foot","fullscreen":0,"focusHistoryID":4},
 {"address":"0x55d0c0a1b710","mapped":true,"hidden":false,"at":[100,100],"size":[300,300],
  "workspace":{"id":2,"name":"2"},"floating":true,"pinned":true,"pid":106,"class":"clock","fullscreen":0,"focusHistoryID":5},
 {"address":"0x55d0c0a1b820","mapped":true,"hidden":true,"at":[720,52],"size":[700,830],
  "workspace":{"id":1,"name":"1"},"floating":false,"pid":107,"class":"foot","fullscreen":0,"focusHistoryID":6},
 {"address":"0x55d0c0a1b930","mapped":true,"hidden":false,"at":[720,52],"size":[700,830],
  "workspace":{"id":-98,"name":"special:term"},"floating":false,"pid":108,"class":"foot","fullscreen":0,"focusHistoryID":7},
 {"address":"0x55d0c0a1ba40","mapped":false,"hidden":false,"at":[0,0],"size":[0,0],
  "workspace":{"id":-1,"name":""},"floating":false,"pid":109,"class":"","fullscreen":0,"focusHistoryID":-1},
 {"address":"nonsense","at":[0,0],"size":[10,10]}])";
constexpr char monitors[] = R"([
 {"id":0,"name":"DP-1","x":0,"y":0,"width":1440,"height":900,"activeWorkspace":{"id":1,"name":"1"},
  "specialWorkspace":{"id":-98,"name":"special:term"},"focused":true},
 {"id":1,"name":"HDMI-A-1","x":1440,"y":0,"width":1920,"height":1080,"activeWorkspace":{"id":3,"name":"3"},
  "specialWorkspace":{"id":0,"name":""},"focused":false}])";


}

TEST(HyprlandReplies, ShownFirstThenFullscreenFloatingByFocusTiled)
{
    auto windows = parseHyprlandClients(clients, monitors, 2);
    EXPECT_EQ(windowIds(windows), (std::vector<uint32_t> { 0xc0a1b5f0, 0xc0a1b4e0, 0xc0a1b3d0, 0xc0a1b710, 0xc0a1b2c0,
                                0xc0a1b930, 0xc0a1b600, 0xc0a1b820 }));
    // The pinned one shows on every workspace; hidden (a group's other tab) and workspace 2 do not.
    EXPECT_EQ(shownFlags(windows), (std::vector<bool> { true, true, true, true, true, true, false, false }));
    EXPECT_TRUE(windows[0].fullscreen);
    EXPECT_TRUE(windows[1].floating);
    EXPECT_EQ(windows[1].pid, 103);
    // The border lies outside at and size.
    EXPECT_EQ(windows[4].frame, (Rect { 10, 50, 704, 834 }));
}

TEST(HyprlandReplies, BrokenRepliesGiveNothingAndOptionsFallBack)
{
    EXPECT_TRUE(parseHyprlandClients("", monitors, 2).empty());
    EXPECT_TRUE(parseHyprlandClients("{\"at\":1}", "", 2).empty());
    // No monitor answer: every window but the pinned one counts as on a workspace not shown.
    auto windows = parseHyprlandClients(clients, "garbage", 0);
    EXPECT_EQ(shownFlags(windows), (std::vector<bool> { true, false, false, false, false, false, false, false }));
    EXPECT_EQ(parseHyprlandOption(R"({"option":"general:border_size","int":4,"set":true})", 2), 4);
    EXPECT_EQ(parseHyprlandOption("unknown request", 2), 2);
    EXPECT_EQ(hyprlandWindowId(QStringLiteral("0x55d0c0a1b2c0")), 0xc0a1b2c0u);
    EXPECT_EQ(hyprlandWindowId(QStringLiteral("55d0")), 0u);
    EXPECT_EQ(hyprlandWindowId(QStringLiteral("0xzz")), 0u);
}

TEST(HyprlandReplies, EventsThatMoveHideOrCloseWindowsCount)
{
    EXPECT_TRUE(isHyprlandWindowEvent("workspace>>2"));
    EXPECT_FALSE(isHyprlandWindowEvent("windowtitle>>55d0c0a1b2c0"));
    EXPECT_FALSE(isHyprlandWindowEvent("submap>>resize"));
    EXPECT_FALSE(isHyprlandWindowEvent("workspace"));
    EXPECT_FALSE(isHyprlandWindowEvent(">>workspace"));
}
