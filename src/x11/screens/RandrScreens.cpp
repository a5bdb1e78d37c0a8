// RandR monitors read on a connection of our own and read again whenever the server reports a change.
#include "x11/screens/RandrScreens.h"

#include "x11/xcb/XcbReplies.h"

#include <xcb/randr.h>

#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace tavelin::x11::screens {

namespace {

std::string atomName(xcb_connection_t* c, xcb_get_atom_name_cookie_t cookie)
{
    auto reply = xcb::takeReply(c, cookie, &xcb_get_atom_name_reply);
    if (!reply)
        return {};
    return std::string(xcb_get_atom_name_name(reply.get()), size_t(xcb_get_atom_name_name_length(reply.get())));
}

}

void settlePrimary(std::vector<Monitor>& monitors)
{
    auto chosen = std::find_if(monitors.begin(), monitors.end(), [](auto& m) { return m.primary; });
    if (chosen == monitors.end())
        chosen = std::find_if(monitors.begin(), monitors.end(), [](auto& m) { return m.hasPrimaryOutput; });
    if (chosen == monitors.end())
        chosen = std::find_if(monitors.begin(), monitors.end(), [](auto& m) { return m.x == 0 && m.y == 0; });
    if (chosen == monitors.end())
        chosen = monitors.begin();
    for (auto it = monitors.begin(); it != monitors.end(); ++it)
        it->primary = it == chosen;
}

std::pair<int, int> currentRootSize(xcb::X11Connection& x11)
{
    auto* screen = x11.screen();
    if (!screen)
        return { 0, 0 };
    auto* c = x11.connection();
    auto geometry = xcb::takeReply(c, xcb_get_geometry(c, x11.root()), &xcb_get_geometry_reply);
    if (!geometry)
        return { screen->width_in_pixels, screen->height_in_pixels };
    return { geometry->width, geometry->height };
}

RandrScreens::RandrScreens()
{
    auto* c = m_x11.connection();
    if (!c || !m_x11.screen())
        return;
    const auto* extension = xcb_get_extension_data(c, &xcb_randr_id);
    if (extension && extension->present) {
        auto version = xcb::takeReply(c, xcb_randr_query_version(c, 1, 5), &xcb_randr_query_version_reply);
        if (version) {
            m_hasMonitors = version->major_version > 1 || version->minor_version >= 5;
            xcb_randr_select_input(c, m_x11.root(),
                XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE
                    | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
        }
    }
    // Monitors set with xrandr --setmonitor come with no RandR event, only a ConfigureNotify of the root.
    uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, m_x11.root(), XCB_CW_EVENT_MASK, &mask);
    // Read after the subscription took effect: a change from here on is reported.
    refresh();
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &RandrScreens::readEvents);
    readEvents();
}

RandrScreens::~RandrScreens() = default;

void RandrScreens::readEvents()
{
    auto* c = m_x11.connection();
    bool altered = false;
    for (;;) {
        bool any = false;
        while (auto* event = xcb_poll_for_event(c)) {
            any = true;
            free(event);
        }
        if (!any)
            break;
        // One new reading for a burst of events (a mode change sends several). The reading's replies
        // pull later events off the socket, where the notifier no longer sees them: the next pass does.
        altered |= refresh();
    }
    if (altered)
        emit changed();
    if (xcb_connection_has_error(c))
        m_notifier->setEnabled(false);
}

bool RandrScreens::refresh()
{
    auto* c = m_x11.connection();
    auto root = m_x11.root();
    std::vector<Monitor> monitors;
    if (m_hasMonitors) {
        auto primaryCookie = xcb_randr_get_output_primary(c, root);
        auto reply = xcb::takeReply(c, xcb_randr_get_monitors(c, root, 1), &xcb_randr_get_monitors_reply);
        auto primary = xcb::takeReply(c, primaryCookie, &xcb_randr_get_output_primary_reply);
        xcb_randr_output_t primaryOutput = primary ? primary->output : XCB_NONE;
        std::vector<xcb_get_atom_name_cookie_t> names;
        for (auto it = reply ? xcb_randr_get_monitors_monitors_iterator(reply.get()) : xcb_randr_monitor_info_iterator_t {};
             reply && it.rem; xcb_randr_monitor_info_next(&it)) {
            const auto* info = it.data;
            const auto* outputs = xcb_randr_monitor_info_outputs(info);
            bool showsPrimary = primaryOutput != XCB_NONE
                && std::find(outputs, outputs + info->nOutput, primaryOutput) != outputs + info->nOutput;
            monitors.push_back({ {}, info->x, info->y, info->width, info->height, info->primary != 0, showsPrimary });
            names.push_back(xcb_get_atom_name(c, info->name));
        }
        for (size_t i = 0; i < monitors.size(); ++i)
            monitors[i].name = atomName(c, names[i]);
    }
    std::erase_if(monitors, [](auto& m) { return m.width <= 0 || m.height <= 0 || m.name.empty(); });
    if (monitors.empty()) {
        auto [width, height] = currentRootSize(m_x11);
        monitors.push_back({ "default", 0, 0, width, height, true, false });
    }
    // Left to right, then top to bottom: the order a user reads them in, whatever order RandR keeps.
    std::sort(monitors.begin(), monitors.end(), [](auto& a, auto& b) { return std::tie(a.x, a.y, a.name) < std::tie(b.x, b.y, b.name); });
    settlePrimary(monitors);
    if (monitors == m_monitors)
        return false;
    m_monitors = std::move(monitors);
    return true;
}

}
