// What EWMH and ICCCM say about client windows, read in one batch, and how it becomes a window record.
#include "x11/windows/EwmhWindows.h"

#include "x11/windows/TopLevelWindows.h"
#include "x11/xcb/XcbReplies.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace tavelin::x11::windows {

namespace {

// X coordinates and sizes are 16-bit; an extent beyond that is garbage, not a frame.
constexpr uint32_t largestExtent = 0x7FFF;

bool plausible(const std::optional<std::array<uint32_t, 4>>& extents)
{
    return extents && std::all_of(extents->begin(), extents->end(), [](uint32_t e) { return e <= largestExtent; });
}

bool growsBeyondClient(const std::optional<std::array<uint32_t, 4>>& extents)
{
    return plausible(extents) && std::any_of(extents->begin(), extents->end(), [](uint32_t e) { return e > 0; });
}

// Any client may set _NET_FRAME_EXTENTS on itself, and some managers frame without setting them:
// either way only the frame window shows what is really there. Extents of zero need no frame.
bool needsFrame(const std::optional<ClientFacts>& f)
{
    return f && (growsBeyondClient(f->frameExtents) || !plausible(f->frameExtents));
}

void readFrames(xcb::X11Connection& x11, std::vector<std::optional<ClientFacts>>& facts)
{
    std::vector<xcb_window_t> framed;
    for (const auto& f : facts)
        if (needsFrame(f))
            framed.push_back(f->window);
    if (framed.empty())
        return;
    auto rects = topLevelRects(x11, framed);
    size_t next = 0;
    for (auto& f : facts)
        if (needsFrame(f))
            f->frame = rects[next++];
}

// All the requests for one window, sent before any reply is read.
struct Cookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t pid, desktop, state, type, frame, gtkFrame, icccmState;
};

Cookies sendRequests(xcb_connection_t* c, xcb_window_t root, const EwmhAtoms& a, xcb_window_t w)
{
    return Cookies {
        .attributes = xcb_get_window_attributes(c, w),
        .geometry = xcb_get_geometry(c, w),
        .origin = xcb_translate_coordinates(c, w, root, 0, 0),
        .pid = xcb::requestList(c, w, a.wmPid, XCB_ATOM_CARDINAL),
        .desktop = xcb::requestList(c, w, a.wmDesktop, XCB_ATOM_CARDINAL),
        .state = xcb::requestList(c, w, a.wmState, XCB_ATOM_ATOM),
        .type = xcb::requestList(c, w, a.wmWindowType, XCB_ATOM_ATOM),
        .frame = xcb::requestList(c, w, a.frameExtents, XCB_ATOM_CARDINAL),
        .gtkFrame = xcb::requestList(c, w, a.gtkFrameExtents, XCB_ATOM_CARDINAL),
        .icccmState = xcb::requestList(c, w, a.icccmWmState, a.icccmWmState),
    };
}

// Every reply is taken, even after one failed, so none is left waiting in the connection.
std::optional<ClientFacts> takeReplies(xcb_connection_t* c, const EwmhAtoms& a, xcb_window_t w, const Cookies& k)
{
    auto attributes = xcb::takeReply(c, k.attributes, &xcb_get_window_attributes_reply);
    auto geometry = xcb::takeReply(c, k.geometry, &xcb_get_geometry_reply);
    auto origin = xcb::takeReply(c, k.origin, &xcb_translate_coordinates_reply);
    ClientFacts facts;
    facts.window = w;
    auto pid = xcb::takeSingle(c, k.pid, XCB_ATOM_CARDINAL);
    facts.desktop = xcb::takeSingle(c, k.desktop, XCB_ATOM_CARDINAL);
    facts.states = xcb::takeList(c, k.state, XCB_ATOM_ATOM).value_or(std::vector<uint32_t> {});
    facts.types = xcb::takeList(c, k.type, XCB_ATOM_ATOM).value_or(std::vector<uint32_t> {});
    facts.frameExtents = xcb::takeQuad(c, k.frame, XCB_ATOM_CARDINAL);
    facts.gtkFrameExtents = xcb::takeQuad(c, k.gtkFrame, XCB_ATOM_CARDINAL);
    facts.hasIcccmState = xcb::takeList(c, k.icccmState, a.icccmWmState).has_value();
    if (!attributes || !geometry || !origin || !origin->same_screen)
        return std::nullopt;
    // A pid is a positive signed 32-bit number; anything else is not one.
    if (pid && *pid > 0 && *pid <= uint32_t(INT32_MAX))
        facts.pid = int32_t(*pid);
    facts.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    facts.overrideRedirect = attributes->override_redirect;
    double border = geometry->border_width;
    facts.outer = core::Rect { origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
        geometry->height + 2 * border };
    return facts;
}

}

EwmhAtoms::EwmhAtoms(xcb::X11Connection& x11)
{
    struct Name {
        xcb_atom_t* target;
        const char* name;
    };
    const Name names[] = {
        { &supportingWmCheck, "_NET_SUPPORTING_WM_CHECK" }, { &clientList, "_NET_CLIENT_LIST" },
        { &clientListStacking, "_NET_CLIENT_LIST_STACKING" }, { &currentDesktop, "_NET_CURRENT_DESKTOP" },
        { &wmPid, "_NET_WM_PID" }, { &wmDesktop, "_NET_WM_DESKTOP" }, { &wmState, "_NET_WM_STATE" },
        { &wmWindowType, "_NET_WM_WINDOW_TYPE" }, { &frameExtents, "_NET_FRAME_EXTENTS" },
        { &gtkFrameExtents, "_GTK_FRAME_EXTENTS" }, { &icccmWmState, "WM_STATE" },
        { &stateHidden, "_NET_WM_STATE_HIDDEN" }, { &stateAbove, "_NET_WM_STATE_ABOVE" },
        { &typeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP" }, { &typeDock, "_NET_WM_WINDOW_TYPE_DOCK" },
        { &typeMenu, "_NET_WM_WINDOW_TYPE_MENU" }, { &typeDropdownMenu, "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU" },
        { &typePopupMenu, "_NET_WM_WINDOW_TYPE_POPUP_MENU" }, { &typeCombo, "_NET_WM_WINDOW_TYPE_COMBO" },
        { &typeSplash, "_NET_WM_WINDOW_TYPE_SPLASH" }, { &typeNotification, "_NET_WM_WINDOW_TYPE_NOTIFICATION" },
        { &typeTooltip, "_NET_WM_WINDOW_TYPE_TOOLTIP" }, { &typeDnd, "_NET_WM_WINDOW_TYPE_DND" },
    };
    auto* c = x11.connection();
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& n : names)
        cookies.push_back(c ? xcb_intern_atom(c, 0, uint16_t(std::strlen(n.name)), n.name) : xcb_intern_atom_cookie_t {});
    for (size_t i = 0; i < std::size(names); ++i) {
        auto reply = c ? xcb::takeReply(c, cookies[i], &xcb_intern_atom_reply) : xcb::Reply<xcb_intern_atom_reply_t>(nullptr, &free);
        *names[i].target = reply ? reply->atom : XCB_NONE;
    }
}

bool ClientFacts::hasState(xcb_atom_t state) const
{
    return state != XCB_NONE && std::find(states.begin(), states.end(), state) != states.end();
}

std::vector<std::optional<ClientFacts>> readClientFacts(xcb::X11Connection& x11, const EwmhAtoms& atoms,
    std::span<const xcb_window_t> windows)
{
    auto* c = x11.connection();
    if (!c)
        return std::vector<std::optional<ClientFacts>>(windows.size());
    std::vector<Cookies> cookies;
    cookies.reserve(windows.size());
    for (auto w : windows)
        cookies.push_back(sendRequests(c, x11.root(), atoms, w));
    std::vector<std::optional<ClientFacts>> facts;
    facts.reserve(windows.size());
    for (size_t i = 0; i < windows.size(); ++i)
        facts.push_back(takeReplies(c, atoms, windows[i], cookies[i]));
    assert(facts.size() == windows.size());
    readFrames(x11, facts);
    return facts;
}

int64_t layerOf(const ClientFacts& facts, const EwmhAtoms& a)
{
    for (auto type : facts.types) {
        if (type == XCB_NONE)
            continue;
        if (type == a.typeDesktop)
            return layer::desktop;
        if (type == a.typeDock)
            return layer::dock;
        if (type == a.typeMenu || type == a.typeDropdownMenu || type == a.typePopupMenu || type == a.typeCombo)
            return layer::menu;
        if (type == a.typeSplash)
            return layer::splash;
        if (type == a.typeNotification)
            return layer::notification;
        if (type == a.typeTooltip)
            return layer::tooltip;
        if (type == a.typeDnd)
            return layer::dragAndDrop;
    }
    // Normal, dialog, utility and toolbar windows stack with their application's windows on X11;
    // only the "kept above" state lifts them out of that layer. Unmanaged (override-redirect)
    // windows are popups: menus, tooltips, drop-downs.
    if (facts.hasState(a.stateAbove))
        return layer::keptAbove;
    if (facts.overrideRedirect)
        return layer::menu;
    return layer::ordinary;
}

bool isDesktopElement(const ClientFacts& facts, const EwmhAtoms& atoms)
{
    return layerOf(facts, atoms) == layer::desktop;
}

bool isOnDesktop(const ClientFacts& facts, std::optional<uint32_t> currentDesktop)
{
    constexpr uint32_t allDesktops = 0xFFFFFFFF;
    if (!facts.desktop || !currentDesktop)
        return true;
    return *facts.desktop == allDesktops || *facts.desktop == *currentDesktop;
}

core::Rect visibleBounds(const ClientFacts& facts)
{
    core::Rect r = facts.outer;
    if (!plausible(facts.frameExtents) && facts.frame) {
        // Framed by a manager that states no extents (i3): the frame is what the user sees.
        r = *facts.frame;
    } else if (growsBeyondClient(facts.frameExtents) && facts.frame) {
        auto [left, right, top, bottom] = *facts.frameExtents;
        core::Rect framed { r.x - left, r.y - top, r.width + left + right, r.height + top + bottom };
        r = framed.intersected(*facts.frame);
        // A client outside its own top-level is a server's nonsense: keep what the client says.
        if (r.isEmpty())
            r = facts.outer;
    }
    if (plausible(facts.gtkFrameExtents)) {
        auto [left, right, top, bottom] = *facts.gtkFrameExtents;
        core::Rect inner { r.x + left, r.y + top, r.width - left - right, r.height - top - bottom };
        // Margins wider than the window are not margins of this window.
        if (!inner.isEmpty())
            r = inner;
    }
    return r;
}

core::WindowRecord makeRecord(const ClientFacts& facts, const EwmhAtoms& atoms, std::optional<core::Rect> bounds)
{
    return core::WindowRecord {
        .id = facts.window,
        .pid = facts.pid,
        .layer = layerOf(facts, atoms),
        .bounds = bounds.value_or(visibleBounds(facts)),
    };
}

}
