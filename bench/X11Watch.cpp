// The benchmarks' clocks on an X server: when a selection changes owner, and where windows lie each millisecond.
//
//   x11watch owner SELECTION SECONDS   "<CLOCK_MONOTONIC ms> <owner>" now and at the first change
//   x11watch geometry SECONDS WIN...   "MS WIN X Y W H" (or "MS WIN gone") at each change
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "x11/xcb/XcbReplies.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

using tavelin::x11::xcb::takeReply;

xcb_connection_t* c;
xcb_window_t root;

// The clock Python's time.monotonic() reads.
double nowMs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

// XFixes selection notify: no polling load on the server while a shot is timed.
int watchOwner(const char* selection, double seconds)
{
    auto name = takeReply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(selection)), selection), &xcb_intern_atom_reply);
    takeReply(c, xcb_xfixes_query_version(c, 5, 0), &xcb_xfixes_query_version_reply);
    const auto* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!name || !xfixes || !xfixes->present)
        return 1;
    xcb_xfixes_select_selection_input(c, root, name->atom, XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    auto first = takeReply(c, xcb_get_selection_owner(c, name->atom), &xcb_get_selection_owner_reply);
    double start = nowMs();
    std::printf("%.3f 0x%x\n", start, first ? first->owner : 0u);
    std::fflush(stdout);
    pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
    while (nowMs() - start < seconds * 1000) {
        while (auto* event = xcb_poll_for_event(c)) {
            bool notify = (event->response_type & 0x7f) == xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
            auto owner = notify ? reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event)->owner : 0u;
            free(event);
            if (notify) {
                std::printf("%.3f 0x%x\n", nowMs(), owner);
                return 0;
            }
        }
        poll(&fd, 1, 10);
    }
    return 1;
}

// All of them read every millisecond: how closely one window follows another.
int watchGeometry(const std::vector<xcb_window_t>& windows, double seconds)
{
    std::vector<std::string> last(windows.size());
    double end = nowMs() + seconds * 1000;
    while (nowMs() < end) {
        std::vector<xcb_get_geometry_cookie_t> g;
        std::vector<xcb_translate_coordinates_cookie_t> t;
        for (auto w : windows) {
            g.push_back(xcb_get_geometry(c, w));
            t.push_back(xcb_translate_coordinates(c, w, root, 0, 0));
        }
        double at = nowMs();
        for (size_t i = 0; i < windows.size(); ++i) {
            auto gr = takeReply(c, g[i], &xcb_get_geometry_reply);
            auto tr = takeReply(c, t[i], &xcb_translate_coordinates_reply);
            char rect[64] = "gone";
            if (gr && tr)
                std::snprintf(rect, sizeof rect, "%d %d %u %u", tr->dst_x, tr->dst_y, gr->width, gr->height);
            if (rect != last[i])
                std::printf("%.3f 0x%x %s\n", at, windows[i], rect);
            last[i] = rect;
        }
        std::fflush(stdout);
        usleep(1000);
    }
    return 0;
}

}

int main(int argc, char** argv)
{
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "x11watch: cannot open the display\n");
        return 2;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "owner" && argc == 4)
        return watchOwner(argv[2], std::strtod(argv[3], nullptr));
    if (command == "geometry" && argc >= 4) {
        std::vector<xcb_window_t> windows;
        for (int i = 3; i < argc; ++i)
            windows.push_back(xcb_window_t(std::strtoul(argv[i], nullptr, 0)));
        return watchGeometry(windows, std::strtod(argv[2], nullptr));
    }
    std::fprintf(stderr, "usage: x11watch owner SELECTION SECONDS | geometry SECONDS WIN...\n");
    return 2;
}
