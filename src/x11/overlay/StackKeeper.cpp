// Keeping our override-redirect windows above every window the window manager stacks.
#include "x11/overlay/StackKeeper.h"

#include "x11/xcb/XcbReplies.h"

#include <QSocketNotifier>

#include <algorithm>

namespace tavelin::x11::overlay {

std::vector<Restack> restackPlan(const std::vector<StackedWindow>& children, const std::vector<xcb_window_t>& kept)
{
    auto isKept = [&](xcb_window_t w) { return std::find(kept.begin(), kept.end(), w) != kept.end(); };
    std::vector<xcb_window_t> shown; // kept windows on screen, bottom to top
    xcb_window_t topManaged = XCB_NONE;
    bool managedAboveOurs = false;
    for (const auto& child : children) {
        if (!child.viewable)
            continue;
        if (isKept(child.id)) {
            shown.push_back(child.id);
        } else if (!child.overrideRedirect && !child.inputOnly) {
            topManaged = child.id;
            managedAboveOurs = !shown.empty();
        }
    }
    std::vector<xcb_window_t> wanted;
    for (auto w : kept)
        if (std::find(shown.begin(), shown.end(), w) != shown.end())
            wanted.push_back(w);
    if (wanted.empty() || (!managedAboveOurs && wanted == shown))
        return {};
    std::vector<Restack> plan;
    xcb_window_t sibling = topManaged;
    for (auto w : wanted) {
        if (sibling != XCB_NONE)
            plan.push_back({ w, sibling });
        sibling = w;
    }
    return plan;
}

StackKeeper& StackKeeper::instance()
{
    static StackKeeper keeper;
    return keeper;
}

StackKeeper::StackKeeper()
{
    auto* c = m_x11.connection();
    if (!c || !m_x11.screen())
        return;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, m_x11.root(), XCB_CW_EVENT_MASK, &mask);
    m_x11.flush();
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StackKeeper::readEvents);
}

void StackKeeper::keep(xcb_window_t window, int rank)
{
    if (window != XCB_NONE)
        m_kept[window] = rank;
}

void StackKeeper::release(xcb_window_t window) { m_kept.erase(window); }

void StackKeeper::readEvents()
{
    auto* c = m_x11.connection();
    for (;;) {
        bool restack = false;
        while (auto* event = xcb_poll_for_event(c)) {
            restack |= mayHaveRestacked(*event);
            free(event);
        }
        if (xcb_connection_has_error(c)) {
            m_notifier->setEnabled(false);
            return;
        }
        if (!restack)
            return;
        // Its round trips pull later events off the socket, where the notifier no longer sees
        // them: the next pass reads them.
        restackNow();
    }
}

// Mapped, reparented into a frame, circulated, or moved in the stack: any of these may have put
// a window above ours. Moves and resizes alone may not, and are most of the traffic.
bool StackKeeper::mayHaveRestacked(const xcb_generic_event_t& event)
{
    switch (event.response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        auto [it, inserted] = m_above.try_emplace(e.window, e.above_sibling);
        bool moved = inserted || it->second != e.above_sibling;
        it->second = e.above_sibling;
        return moved;
    }
    case XCB_DESTROY_NOTIFY:
        m_above.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
        return false;
    case XCB_MAP_NOTIFY:
    case XCB_CIRCULATE_NOTIFY:
    case XCB_REPARENT_NOTIFY:
        return true;
    default:
        return false;
    }
}

// Stacking requests of an override-redirect window go straight to the server, whichever
// connection sends them.
void StackKeeper::restackNow()
{
    auto* c = m_x11.connection();
    if (!c || m_kept.empty())
        return;
    auto tree = xcb::takeReply(c, xcb_query_tree(c, m_x11.root()), &xcb_query_tree_reply);
    if (!tree)
        return;
    auto* ids = xcb_query_tree_children(tree.get());
    int count = xcb_query_tree_children_length(tree.get());
    // Only what lies from our lowest window upward matters.
    int lowest = int(std::find_if(ids, ids + count, [&](xcb_window_t w) { return m_kept.contains(w); }) - ids);
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    for (int i = lowest; i < count; ++i)
        cookies.push_back(xcb_get_window_attributes(c, ids[i]));
    std::vector<StackedWindow> children;
    for (int i = lowest; i < count; ++i) {
        auto a = xcb::takeReply(c, cookies[size_t(i - lowest)], &xcb_get_window_attributes_reply);
        if (a)
            children.push_back({ ids[i], a->map_state == XCB_MAP_STATE_VIEWABLE, bool(a->override_redirect),
                a->_class == XCB_WINDOW_CLASS_INPUT_ONLY });
    }
    std::vector<std::pair<int, xcb_window_t>> ranked;
    for (auto [w, rank] : m_kept)
        ranked.emplace_back(rank, w);
    std::sort(ranked.begin(), ranked.end());
    std::vector<xcb_window_t> kept;
    for (auto [rank, w] : ranked)
        kept.push_back(w);
    for (auto [window, sibling] : restackPlan(children, kept)) {
        uint32_t values[] = { sibling, XCB_STACK_MODE_ABOVE };
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    m_x11.flush();
}

}
