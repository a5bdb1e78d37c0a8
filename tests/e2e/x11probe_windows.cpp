// x11probe's window commands: windows by pid and title, shapes, EWMH requests.
#include "x11probe.h"

#include <xcb/shape.h>

#include <cstdio>
#include <string>

namespace probe {

namespace {

std::string text(const xcb_get_property_reply_t* r)
{
    if (!r || r->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
}

long cardinal(const xcb_get_property_reply_t* r)
{
    if (!r || r->format != 32 || xcb_get_property_value_length(r) < 4)
        return -1;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r));
}

// Every window of the tree, a level at a time with all of a level's requests sent before any
// reply is read: a pass costs a few round trips, not a few per window, so a window that lives a
// fraction of a second is still seen on a loaded machine.
std::vector<xcb_window_t> allWindows()
{
    std::vector<xcb_window_t> all { root }, level { root };
    while (!level.empty()) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        for (auto w : level)
            cookies.push_back(xcb_query_tree(c, w));
        std::vector<xcb_window_t> next;
        for (auto cookie : cookies) {
            auto tree = own(xcb_query_tree_reply(c, cookie, nullptr));
            if (!tree)
                continue;
            auto* children = xcb_query_tree_children(tree.get());
            next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
        }
        all.insert(all.end(), next.begin(), next.end());
        level = std::move(next);
    }
    return all;
}

struct MatchCookies {
    xcb_get_property_cookie_t pid, netName, name;
    xcb_get_window_attributes_cookie_t attributes;
};

MatchCookies askMatch(xcb_window_t w)
{
    static const xcb_atom_t pidAtom = atom("_NET_WM_PID"), nameAtom = atom("_NET_WM_NAME");
    return { xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        xcb_get_property(c, 0, w, nameAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), xcb_get_window_attributes(c, w) };
}

// Whether the window asked about is viewable, of process pid (_NET_WM_PID), and its _NET_WM_NAME,
// or else WM_NAME, is title.
bool matches(const MatchCookies& cookies, long pid, const char* title)
{
    auto pidReply = own(xcb_get_property_reply(c, cookies.pid, nullptr));
    auto netName = own(xcb_get_property_reply(c, cookies.netName, nullptr));
    auto name = own(xcb_get_property_reply(c, cookies.name, nullptr));
    auto a = own(xcb_get_window_attributes_reply(c, cookies.attributes, nullptr));
    if (cardinal(pidReply.get()) != pid || !a || a->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    auto shown = text(netName.get());
    return (shown.empty() ? text(name.get()) : shown) == title;
}

bool isMatching(xcb_window_t w, long pid, const char* title) { return matches(askMatch(w), pid, title); }

// The matching windows of the whole tree, all windows asked about before any answer is read.
std::vector<xcb_window_t> matchingWindows(long pid, const char* title)
{
    auto windows = allWindows();
    std::vector<MatchCookies> cookies;
    for (auto w : windows)
        cookies.push_back(askMatch(w));
    std::vector<xcb_window_t> found;
    for (size_t i = 0; i < windows.size(); ++i)
        if (matches(cookies[i], pid, title))
            found.push_back(windows[i]);
    return found;
}

// " X Y W H": where a window lies on the root, or zeros once it is gone.
void printRootRectangle(xcb_window_t w)
{
    auto g = own(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
    auto t = own(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr));
    std::printf(" %d %d %u %u", t ? t->dst_x : 0, t ? t->dst_y : 0, g ? g->width : 0u, g ? g->height : 0u);
}

// " N" and " X Y W H" for up to limit rectangles of the window's shape; false, printing nothing,
// when it cannot be read.
bool printShapeRectangles(xcb_window_t w, xcb_shape_sk_t kind, int limit)
{
    auto r = own(xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, w, kind), nullptr));
    if (!r)
        return false;
    auto* rects = xcb_shape_get_rectangles_rectangles(r.get());
    int n = xcb_shape_get_rectangles_rectangles_length(r.get());
    std::printf(" %d", n);
    for (int i = 0; i < n && i < limit; ++i)
        std::printf(" %d %d %u %u", rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    return true;
}

}

int findWindows(long pid, const char* title)
{
    for (auto w : matchingWindows(pid, title))
        std::printf("0x%x\n", w);
    return 0;
}

// Prints each change of whether a window of pid titled title is mapped, for seconds: first the
// state found ("<ms> appeared <id> <x> <y> <w> <h>", with shape: then the bounding shape's rectangle
// count and first rectangle), then "watching", then "<ms> appeared ..." or "<ms> vanished" lines.
// The windows watched are override-redirect children of the root, so the root's substructure events
// report every map and unmap in order, queued by the server while this process waits for the CPU: a
// window shown or hidden for a moment (the screenshot flash, the grid during a capture) is never
// missed, as looking at the tree from time to time could.
int watchWindow(long pid, const char* title, double seconds, bool withShape)
{
    double start = nowMs();
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    auto found = matchingWindows(pid, title);   // a round trip: the mask is set before it is answered
    xcb_window_t shown = found.empty() ? XCB_NONE : found.front();
    auto appeared = [&](xcb_window_t w) {
        std::printf("%.0f appeared 0x%x", nowMs() - start, w);
        printRootRectangle(w);
        if (withShape && !printShapeRectangles(w, XCB_SHAPE_SK_BOUNDING, 1))
            std::printf(" 0");
        std::printf("\n");
    };
    if (shown != XCB_NONE)
        appeared(shown);
    std::printf("watching\n");
    std::fflush(stdout);
    return eachEvent(seconds - (nowMs() - start) / 1000, [&](xcb_generic_event_t* event, int type) {
        if (type == XCB_MAP_NOTIFY && shown == XCB_NONE) {
            auto w = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            if (isMatching(w, pid, title))
                appeared(shown = w);
        } else if ((type == XCB_UNMAP_NOTIFY && reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == shown)
            || (type == XCB_DESTROY_NOTIFY && reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == shown)) {
            std::printf("%.0f vanished\n", nowMs() - start);
            shown = XCB_NONE;
        }
    });
}

// The rectangle count, then up to 50 rectangles, of the window's input or bounding shape, on one line.
int printShape(xcb_window_t w, const char* kind)
{
    if (!printShapeRectangles(w, std::string(kind) == "input" ? XCB_SHAPE_SK_INPUT : XCB_SHAPE_SK_BOUNDING, 50))
        return 1;
    std::printf("\n");
    return 0;
}

// EWMH _NET_WM_STATE on a mapped window: a client message to the root, which the window manager
// carries out (setting the property directly is not seen by it).
int changeWmState(xcb_window_t w, bool add, const char* state)
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = w;
    message.type = atom("_NET_WM_STATE");
    message.data.data32[0] = add ? 1 : 0;
    message.data.data32[1] = atom(state);
    message.data.data32[3] = 1; // source: a normal application
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: the request is out
    return 0;
}

}
