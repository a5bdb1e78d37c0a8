// Windows of a desktop without an EWMH window manager: the root's mapped children and their clients.
#include "x11/windows/TopLevelWindows.h"

#include "x11/xcb/XcbReplies.h"

#include <algorithm>

namespace tavelin::x11::windows {

namespace {

std::vector<xcb_window_t> childrenOf(xcb_query_tree_reply_t* tree)
{
    if (!tree)
        return {};
    auto* children = xcb_query_tree_children(tree);
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree));
}

// The outer rectangle of a child of the root: its position is that of its border's corner.
core::Rect outerRect(const xcb_get_geometry_reply_t& g)
{
    double border = g.border_width;
    return core::Rect { double(g.x), double(g.y), g.width + 2 * border, g.height + 2 * border };
}

// For each frame, the first of its children with WM_STATE; the frame itself when none has it.
// One level deep covers the reparenting managers that speak no EWMH; requests go out in batches.
std::vector<xcb_window_t> clientsInside(xcb_connection_t* c, const EwmhAtoms& a, const std::vector<xcb_window_t>& frames)
{
    std::vector<xcb_query_tree_cookie_t> treeCookies;
    for (auto frame : frames)
        treeCookies.push_back(xcb_query_tree(c, frame));
    std::vector<std::vector<xcb_window_t>> children;
    for (auto cookie : treeCookies)
        children.push_back(childrenOf(xcb::takeReply(c, cookie, &xcb_query_tree_reply).get()));
    std::vector<std::vector<xcb_get_property_cookie_t>> stateCookies(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        for (auto child : children[i])
            stateCookies[i].push_back(xcb::requestList(c, child, a.icccmWmState, a.icccmWmState));
    std::vector<xcb_window_t> clients(frames);
    for (size_t i = 0; i < frames.size(); ++i) {
        bool found = false;
        for (size_t j = 0; j < children[i].size(); ++j) {
            bool hasState = xcb::takeList(c, stateCookies[i][j], a.icccmWmState).has_value();
            if (hasState && !found) {
                clients[i] = children[i][j];
                found = true;
            }
        }
    }
    return clients;
}

}

std::vector<TopLevel> viewableTopLevels(xcb::X11Connection& x11, const EwmhAtoms& a)
{
    auto* c = x11.connection();
    if (!c)
        return {};
    auto tree = xcb::takeReply(c, xcb_query_tree(c, x11.root()), &xcb_query_tree_reply);
    auto children = childrenOf(tree.get());
    // QueryTree lists children bottom to top.
    std::reverse(children.begin(), children.end());

    struct Cookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t state;
    };
    std::vector<Cookies> cookies;
    for (auto w : children)
        cookies.push_back({ xcb_get_window_attributes(c, w), xcb_get_geometry(c, w),
            xcb::requestList(c, w, a.icccmWmState, a.icccmWmState) });

    std::vector<TopLevel> topLevels;
    std::vector<xcb_window_t> frames;
    std::vector<size_t> frameIndex;
    for (size_t i = 0; i < children.size(); ++i) {
        auto attributes = xcb::takeReply(c, cookies[i].attributes, &xcb_get_window_attributes_reply);
        auto geometry = xcb::takeReply(c, cookies[i].geometry, &xcb_get_geometry_reply);
        bool isClient = xcb::takeList(c, cookies[i].state, a.icccmWmState).has_value();
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (!isClient) {
            frames.push_back(children[i]);
            frameIndex.push_back(topLevels.size());
        }
        topLevels.push_back({ children[i], outerRect(*geometry) });
    }
    auto clients = clientsInside(c, a, frames);
    for (size_t i = 0; i < frames.size(); ++i)
        topLevels[frameIndex[i]].client = clients[i];
    return topLevels;
}

namespace {

// Window trees are shallow; the bound only guards against a server that answers nonsense.
constexpr int deepestNesting = 32;

// For each window, the root's child above it (or itself); XCB_NONE once it is gone. One batch of
// QueryTree requests per level of the tree.
std::vector<xcb_window_t> topLevelsOf(xcb::X11Connection& x11, std::span<const xcb_window_t> windows)
{
    auto* c = x11.connection();
    std::vector<xcb_window_t> current(windows.begin(), windows.end());
    std::vector<xcb_window_t> topLevels(windows.size(), XCB_NONE);
    std::vector<size_t> open;
    for (size_t i = 0; c && i < current.size(); ++i)
        if (current[i] != XCB_NONE)
            open.push_back(i);
    for (int depth = 0; !open.empty() && depth < deepestNesting; ++depth) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        for (auto i : open)
            cookies.push_back(xcb_query_tree(c, current[i]));
        std::vector<size_t> deeper;
        for (size_t k = 0; k < open.size(); ++k) {
            auto tree = xcb::takeReply(c, cookies[k], &xcb_query_tree_reply);
            size_t i = open[k];
            if (!tree || tree->parent == XCB_NONE)
                continue;
            if (tree->parent == x11.root()) {
                topLevels[i] = current[i];
            } else {
                current[i] = tree->parent;
                deeper.push_back(i);
            }
        }
        open = std::move(deeper);
    }
    return topLevels;
}

}

std::vector<xcb_window_t> shownMenus(xcb::X11Connection& x11, const EwmhAtoms& atoms, const core::Rect& screen)
{
    // Some window managers keep windows of their own mapped outside the screen (openbox at -100, -100).
    std::vector<xcb_window_t> children;
    for (const auto& top : viewableTopLevels(x11, atoms)) {
        if (!top.outer.intersected(screen).isEmpty())
            children.push_back(top.client);
    }
    std::vector<xcb_window_t> menus;
    for (const auto& facts : readClientFacts(x11, atoms, children)) {
        if (facts && facts->overrideRedirect && layerOf(*facts, atoms) == layer::menu)
            menus.push_back(facts->window);
    }
    return menus;
}

std::optional<xcb_window_t> topLevelOf(xcb::X11Connection& x11, xcb_window_t window)
{
    auto topLevel = topLevelsOf(x11, std::span(&window, 1)).front();
    return topLevel != XCB_NONE ? std::optional(topLevel) : std::nullopt;
}

std::optional<core::Rect> topLevelRect(xcb::X11Connection& x11, xcb_window_t window)
{
    return topLevelRects(x11, std::span(&window, 1)).front();
}

std::vector<std::optional<core::Rect>> topLevelRects(xcb::X11Connection& x11, std::span<const xcb_window_t> windows)
{
    auto* c = x11.connection();
    auto topLevels = topLevelsOf(x11, windows);
    std::vector<xcb_get_geometry_cookie_t> cookies;
    for (auto topLevel : topLevels)
        cookies.push_back(topLevel != XCB_NONE ? xcb_get_geometry(c, topLevel) : xcb_get_geometry_cookie_t {});
    std::vector<std::optional<core::Rect>> rects(windows.size());
    for (size_t i = 0; i < topLevels.size(); ++i) {
        if (topLevels[i] == XCB_NONE)
            continue;
        auto geometry = xcb::takeReply(c, cookies[i], &xcb_get_geometry_reply);
        if (geometry)
            rects[i] = outerRect(*geometry);
    }
    return rects;
}

}
