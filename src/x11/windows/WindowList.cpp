// Other applications' windows, read from EWMH properties over xcb.
#include "x11/windows/WindowList.h"

#include "x11/windows/EwmhWindows.h"
#include "x11/windows/TopLevelWindows.h"
#include "x11/xcb/DesktopScale.h"
#include "x11/xcb/XcbReplies.h"

#include <algorithm>

namespace tavelin::x11::windows {

using namespace tavelin::x11;

struct WindowList::RootFacts {
    bool hasEwmhManager = false;
    std::optional<std::vector<uint32_t>> stacking;
    std::optional<std::vector<uint32_t>> clients;
    std::optional<uint32_t> currentDesktop;
};

namespace {

core::WindowRecord inPoints(core::WindowRecord record)
{
    if (record.bounds)
        record.bounds = xcb::toPoints(*record.bounds);
    return record;
}

bool contains(const std::optional<std::vector<uint32_t>>& list, uint32_t window)
{
    return list && std::find(list->begin(), list->end(), window) != list->end();
}

}

core::Rect onScreens(const core::Rect& bounds, std::span<const core::Rect> screens)
{
    std::optional<core::Rect> touched, all;
    for (const auto& screen : screens) {
        if (screen.isEmpty())
            continue;
        all = all ? all->united(screen) : screen;
        if (!bounds.intersected(screen).isEmpty())
            touched = touched ? touched->united(screen) : screen;
    }
    if (touched)
        return bounds.intersected(*touched);
    if (!all)
        return bounds;
    return core::Rect { bounds.x, bounds.y, std::min(bounds.width, all->width), std::min(bounds.height, all->height) };
}

WindowList::WindowList(xcb::X11Connection& x11)
    : m_x11(x11)
    , m_atoms(std::make_unique<EwmhAtoms>(x11))
{
}

WindowList::~WindowList() = default;

// EWMH "Root Window Properties": a compliant manager is running when the root's
// _NET_SUPPORTING_WM_CHECK names a window whose own _NET_SUPPORTING_WM_CHECK names itself;
// a stale value left by a manager that died names a window that is gone.
WindowList::RootFacts WindowList::readRoot()
{
    RootFacts root;
    auto* c = m_x11.connection();
    if (!c)
        return root;
    const auto& a = *m_atoms;
    auto check = xcb::requestList(c, m_x11.root(), a.supportingWmCheck, XCB_ATOM_WINDOW);
    auto stacking = xcb::requestList(c, m_x11.root(), a.clientListStacking, XCB_ATOM_WINDOW);
    auto clients = xcb::requestList(c, m_x11.root(), a.clientList, XCB_ATOM_WINDOW);
    auto desktop = xcb::requestList(c, m_x11.root(), a.currentDesktop, XCB_ATOM_CARDINAL);
    auto wmWindow = xcb::takeSingle(c, check, XCB_ATOM_WINDOW);
    root.stacking = xcb::takeList(c, stacking, XCB_ATOM_WINDOW);
    root.clients = xcb::takeList(c, clients, XCB_ATOM_WINDOW);
    root.currentDesktop = xcb::takeSingle(c, desktop, XCB_ATOM_CARDINAL);
    if (wmWindow) {
        auto self = xcb::takeSingle(c, xcb::requestList(c, *wmWindow, a.supportingWmCheck, XCB_ATOM_WINDOW), XCB_ATOM_WINDOW);
        root.hasEwmhManager = self == wmWindow;
    }
    return root;
}

std::vector<core::WindowRecord> WindowList::visibleWindows()
{
    auto root = readRoot();
    if (!root.hasEwmhManager || !root.stacking)
        return unmanagedWindows();
    return managedWindows(root);
}

// _NET_CLIENT_LIST_STACKING is in bottom-to-top order: walked backwards it is frontmost first.
std::vector<core::WindowRecord> WindowList::managedWindows(const RootFacts& root)
{
    std::vector<xcb_window_t> frontFirst(root.stacking->rbegin(), root.stacking->rend());
    auto facts = readClientFacts(m_x11, *m_atoms, frontFirst);
    std::vector<core::WindowRecord> records;
    for (const auto& f : facts) {
        if (!f || !f->viewable || f->hasState(m_atoms->stateHidden) || !isOnDesktop(*f, root.currentDesktop)
            || isDesktopElement(*f, *m_atoms))
            continue;
        records.push_back(inPoints(makeRecord(*f, *m_atoms)));
    }
    return records;
}

// Without an EWMH manager nothing lists the clients: the root's children stand in, and the
// rectangle seen is the child's (a frame, if some manager made one).
std::vector<core::WindowRecord> WindowList::unmanagedWindows()
{
    auto topLevels = viewableTopLevels(m_x11, *m_atoms);
    std::vector<xcb_window_t> clients;
    for (const auto& t : topLevels)
        clients.push_back(t.client);
    auto facts = readClientFacts(m_x11, *m_atoms, clients);
    std::vector<core::WindowRecord> records;
    for (size_t i = 0; i < topLevels.size(); ++i) {
        if (!facts[i] || isDesktopElement(*facts[i], *m_atoms))
            continue;
        records.push_back(inPoints(makeRecord(*facts[i], *m_atoms, topLevels[i].outer)));
    }
    return records;
}

// A window counts as gone once it is destroyed, and also once its application withdrew it
// (ICCCM 4.1.4): the manager drops it from _NET_CLIENT_LIST; without a manager it is unmapped
// and carries no WM_STATE. An iconified window, or one on another desktop, is still there, at the
// place it will come back to, but not shown.
std::optional<core::WindowRecord> WindowList::windowRecord(uint32_t windowId)
{
    if (windowId == XCB_NONE)
        return std::nullopt;
    auto root = readRoot();
    xcb_window_t window = windowId;
    auto facts = readClientFacts(m_x11, *m_atoms, std::span(&window, 1));
    if (!facts.front())
        return std::nullopt;
    auto& f = *facts.front();
    if (root.hasEwmhManager && root.clients) {
        if (!contains(root.clients, windowId))
            return std::nullopt;
        auto record = makeRecord(f, *m_atoms);
        record.shown = f.viewable && !f.hasState(m_atoms->stateHidden) && isOnDesktop(f, root.currentDesktop);
        return inPoints(record);
    }
    if (!f.viewable && !f.hasIcccmState)
        return std::nullopt;
    auto outer = topLevelRect(m_x11, windowId);
    if (!outer)
        return std::nullopt;
    auto record = makeRecord(f, *m_atoms, *outer);
    record.shown = f.viewable;
    return inPoints(record);
}

}
