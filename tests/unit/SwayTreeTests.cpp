// sway's window tree read into windows, and the i3 IPC framing.
#include "wayland/windows/I3Ipc.h"
#include "wayland/windows/SwayTree.h"

#include "WindowLists.h"

#include <gtest/gtest.h>

using namespace tavelin::wayland::windows;
using tavelin::core::Rect;
using tavelin::test::shownFlags;
using tavelin::test::windowIds;

namespace {

// sway 1.7's get_tree, trimmed: a scratchpad, workspace 1 shown (tiled, tabbed, floating), fullscreen on 2.
constexpr char tree[] = R"({"id":1,"type":"root","rect":{"x":0,"y":0,"width":1440,"height":900},"nodes":[
 {"id":2147483647,"type":"output","name":"__i3","rect":{"x":0,"y":0,"width":1440,"height":900},"nodes":[
  {"id":2147483646,"type":"workspace","name":"__i3_scratch","rect":{"x":0,"y":0,"width":1440,"height":900},
   "nodes":[],"floating_nodes":[{"id":90,"type":"floating_con","pid":9,"app_id":"foot","visible":false,
   "rect":{"x":0,"y":0,"width":100,"height":100},"deco_rect":{"x":0,"y":0,"width":0,"height":0}}]}]},
 {"id":3,"type":"output","name":"HEADLESS-1","current_workspace":"1","rect":{"x":0,"y":0,"width":1440,"height":900},"nodes":[
  {"id":4,"type":"workspace","name":"1","rect":{"x":0,"y":0,"width":1440,"height":900},"nodes":[
    {"id":5,"type":"con","pid":11,"app_id":"foot","visible":true,"fullscreen_mode":0,
     "rect":{"x":0,"y":0,"width":720,"height":900},"deco_rect":{"x":0,"y":0,"width":0,"height":0}},
    {"id":6,"type":"con","layout":"tabbed","rect":{"x":720,"y":0,"width":720,"height":900},
     "deco_rect":{"x":0,"y":0,"width":0,"height":0},"nodes":[
      {"id":7,"type":"con","pid":12,"app_id":"foot","visible":true,"rect":{"x":720,"y":27,"width":720,"height":873},
       "deco_rect":{"x":0,"y":0,"width":360,"height":27}},
      {"id":8,"type":"con","pid":13,"app_id":"foot","visible":false,"rect":{"x":720,"y":27,"width":720,"height":873},
       "deco_rect":{"x":360,"y":0,"width":360,"height":27}}]}],
   "floating_nodes":[
    {"id":9,"type":"floating_con","pid":14,"app_id":"foot","visible":true,"rect":{"x":200,"y":177,"width":600,"height":373},
     "deco_rect":{"x":200,"y":150,"width":600,"height":27}},
    {"id":10,"type":"floating_con","pid":15,"app_id":null,"window":4194307,"visible":true,
     "rect":{"x":500,"y":327,"width":300,"height":200},"deco_rect":{"x":500,"y":300,"width":300,"height":27}}]},
  {"id":20,"type":"workspace","name":"2","rect":{"x":0,"y":0,"width":1440,"height":900},"nodes":[
    {"id":21,"type":"con","pid":16,"app_id":"foot","visible":false,"fullscreen_mode":1,
     "rect":{"x":0,"y":0,"width":1440,"height":900},"deco_rect":{"x":0,"y":0,"width":0,"height":0}},
    {"id":22,"type":"con","pid":17,"app_id":"foot","visible":false,"fullscreen_mode":0,
     "rect":{"x":0,"y":0,"width":720,"height":900},"deco_rect":{"x":0,"y":0,"width":0,"height":0}}],
   "floating_nodes":[]}]}]})";


}

TEST(SwayTree, ShownWindowsFirstFrontmostFirstScratchpadHidden)
{
    auto windows = parseSwayTree(tree);
    // Floating above tiled, the topmost floating (listed last) first; the tab behind another,
    // the scratchpad's window and workspace 2 after, its fullscreen window in front of its tiled one.
    EXPECT_EQ(windowIds(windows), (std::vector<uint32_t> { 10, 9, 7, 5, 8, 90, 21, 22 }));
    EXPECT_EQ(shownFlags(windows), (std::vector<bool> { true, true, true, true, false, false, false, false }));
    EXPECT_TRUE(windows[0].floating);
    EXPECT_FALSE(windows[3].floating);
    EXPECT_TRUE(windows[6].fullscreen);
    EXPECT_EQ(windows[1].pid, 14);
}

TEST(SwayTree, FramesTakeInTheTitleBarRelativeToTheParent)
{
    auto windows = parseSwayTree(tree);
    auto frameOf = [&](uint32_t id) {
        for (auto& w : windows)
            if (w.id == id)
                return w.frame;
        return Rect {};
    };
    // A tab's title sits in the tab strip above the shared rectangle.
    EXPECT_EQ(frameOf(7), (Rect { 720, 0, 720, 900 }));
    EXPECT_EQ(frameOf(8), (Rect { 720, 0, 720, 900 }));
}

TEST(SwayTree, RepliesThatAreNoTreeGiveNoWindows)
{
    EXPECT_TRUE(parseSwayTree("").empty());
    EXPECT_TRUE(parseSwayTree("[1,2]").empty());
    EXPECT_TRUE(parseSwayTree(R"({"nodes":[{"nodes":"x"}]})").empty());
    EXPECT_TRUE(parseSwayTree(R"({"nodes":[{"type":"output","nodes":[{"type":"workspace","nodes":[{"id":"x","pid":5}]}]}]})").empty());
}

TEST(I3Frames, MessagesComeWholeWhateverTheChunksAndABadMagicBreaksTheStream)
{
    auto bytes = encodeI3Message(4, "[]") + encodeI3Message(i3::eventBit | 3, R"({"change":"move"})");
    EXPECT_EQ(bytes.left(6), "i3-ipc");
    I3Frames frames;
    for (auto byte : bytes) {
        frames.append(QByteArray(1, byte));
        if (frames.next())
            break;
    }
    frames.append(bytes.mid(6 + 8 + 2));
    auto event = frames.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, i3::eventBit | 3);
    EXPECT_EQ(event->payload, R"({"change":"move"})");
    EXPECT_FALSE(frames.next());

    I3Frames broken;
    broken.append("i3-ipx" + QByteArray(8, '\0'));
    EXPECT_FALSE(broken.next());
    EXPECT_TRUE(broken.broken());
}
