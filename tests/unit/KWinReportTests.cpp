// KWin's windows as our script reports them: top first, ordinary ones only, shown or not, lasting numbers.
#include "wayland/windows/KWinReport.h"

#include "WindowLists.h"

#include <gtest/gtest.h>

using namespace tavelin::wayland::windows;
using tavelin::core::Rect;
using tavelin::test::shownFlags;
using tavelin::test::windowIds;

namespace {

// KWin 6's stackingOrder, bottom to top, as the script sends it: desktop, panel, then windows 1 to 5.
constexpr char report[] = R"({"currentDesktop":"d1","stackingOrder":[
 {"internalId":"{00000000-0000-0000-0000-00000000000a}","pid":900,"x":0,"y":0,"width":1440,"height":900,
  "desktopWindow":true,"normalWindow":false,"dialog":false,"minimized":false,"hidden":false,"fullScreen":false,
  "onAllDesktops":true,"desktops":[]},
 {"internalId":"{00000000-0000-0000-0000-00000000000b}","pid":901,"x":0,"y":856,"width":1440,"height":44,
  "normalWindow":false,"dialog":false,"minimized":false,"hidden":false,"fullScreen":false,"onAllDesktops":true,"desktops":[]},
 {"internalId":"{00000000-0000-0000-0000-000000000001}","pid":101,"x":10,"y":20,"width":700,"height":500,
  "normalWindow":true,"dialog":false,"minimized":false,"hidden":false,"fullScreen":false,"onAllDesktops":false,"desktops":["d1"]},
 {"internalId":"{00000000-0000-0000-0000-000000000002}","pid":102,"x":300,"y":200,"width":600,"height":400,
  "normalWindow":true,"dialog":false,"minimized":true,"hidden":false,"fullScreen":false,"onAllDesktops":false,"desktops":["d1"]},
 {"internalId":"{00000000-0000-0000-0000-000000000003}","pid":103,"x":50,"y":60,"width":800,"height":600,
  "normalWindow":true,"dialog":false,"minimized":false,"hidden":false,"fullScreen":false,"onAllDesktops":false,"desktops":["d2"]},
 {"internalId":"{00000000-0000-0000-0000-000000000004}","pid":104,"x":400,"y":300,"width":500,"height":300,
  "normalWindow":false,"dialog":true,"minimized":false,"hidden":false,"fullScreen":false,"onAllDesktops":false,"desktops":["d1"]},
 {"internalId":"{00000000-0000-0000-0000-000000000005}","pid":105,"x":1000,"y":100,"width":300,"height":300,
  "normalWindow":true,"dialog":false,"minimized":false,"hidden":false,"fullScreen":false,"onAllDesktops":true,"desktops":[]}
]})";

}

TEST(KWinReport, TopFirstOrdinaryWindowsShownOnesBeforeTheRest)
{
    KWinIds ids;
    auto windows = parseKWinReport(report, ids);
    // Read top down: 5, 4 (the dialog), 1 shown; then 3 (desktop 2) and 2 (minimized).
    ASSERT_EQ(windows.size(), 5u);
    EXPECT_EQ(shownFlags(windows), (std::vector<bool> { true, true, true, false, false }));
    EXPECT_EQ(tavelin::test::each(windows, &Window::pid), (std::vector<int32_t> { 105, 104, 101, 103, 102 }));
    EXPECT_EQ(windows[2].frame, (Rect { 10, 20, 700, 500 }));
}

TEST(KWinReport, AWindowKeepsItsNumberAndAClosedOnesIsNotGivenAgain)
{
    KWinIds ids;
    auto first = parseKWinReport(report, ids);
    auto again = parseKWinReport(report, ids);
    EXPECT_EQ(windowIds(first), windowIds(again));
    auto before = windowIds(first);

    // Window 1 closes, another opens.
    QByteArray later = report;
    later.replace("00000000-0000-0000-0000-000000000001", "00000000-0000-0000-0000-000000000009");
    auto after = windowIds(parseKWinReport(later, ids));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], before[1]);
    for (auto id : before)
        EXPECT_NE(after[2], id);
}

TEST(KWinReport, BrokenReportsGiveNothing)
{
    KWinIds ids;
    EXPECT_TRUE(parseKWinReport("", ids).empty());
    EXPECT_TRUE(parseKWinReport("[1,2]", ids).empty());
    EXPECT_TRUE(parseKWinReport(R"({"stackingOrder":[{"pid":1},{"internalId":"x"},7]})", ids).empty());
}

TEST(KWinReport, TheScriptReportsToWhereItIsTold)
{
    auto script = kwinScript(":1.42", "/org/tavelin/KWinWindows", "report");
    EXPECT_TRUE(script.contains(R"(callDBus(":1.42", "/org/tavelin/KWinWindows", "org.tavelin.KWinWindows1", "report",)"));
}
