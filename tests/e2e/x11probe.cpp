// x11probe: reads for end-to-end tests what xprop and xwininfo do not show, and plays other clients.
#include "x11probe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>

namespace probe {

xcb_connection_t* c;
xcb_window_t root;

xcb_atom_t atom(const char* name)
{
    auto r = own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr));
    return r ? r->atom : XCB_NONE;
}

xcb_screen_t* screen() { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }

xcb_window_t createWindow(int x, int y, int width, int height, uint32_t background, uint32_t value, uint32_t events,
    const char* title)
{
    xcb_window_t w = xcb_generate_id(c);
    uint32_t values[] = { value, events };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen()->root_visual, background | XCB_CW_EVENT_MASK, values);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, strlen(title), title);
    return w;
}

double nowMs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int eachEvent(double seconds, const std::function<void(xcb_generic_event_t*, int)>& handle,
    const std::function<void()>& idle)
{
    pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
    for (double end = nowMs() + seconds * 1000; nowMs() < end;) {
        if (idle)
            idle();
        // Replies read meanwhile may have queued events the socket no longer shows: a short wait.
        poll(&fd, 1, std::clamp(int(end - nowMs()), 1, 10));
        while (auto* event = xcb_poll_for_event(c)) {
            handle(event, event->response_type & 0x7f);
            free(event);
        }
        std::fflush(stdout);
        if (xcb_connection_has_error(c))
            return 1;
    }
    return 0;
}

}

namespace {

constexpr const char* usage = "usage: x11probe owner SELECTION | find-window PID TITLE |\n"
                              "  watch-window PID TITLE SECONDS [shape] | shape WIN input|bounding |\n"
                              "  wm-state WIN add|remove STATE_ATOM |\n"
                              "  hold-grab pointer|keyboard SECONDS | click-target X Y W H SECONDS |\n"
                              "  root-ppm [X Y W H] | desktop-window SECONDS RRGGBB...\n";

int run(const std::string& command, int argc, char** argv)
{
    using namespace probe;
    auto number = [&](int i) { return std::strtod(argv[i], nullptr); };
    auto window = [&](int i) { return static_cast<xcb_window_t>(std::strtoul(argv[i], nullptr, 0)); };
    if (command == "owner" && argc == 3)
        return printSelectionOwner(argv[2]);
    if (command == "find-window" && argc == 4)
        return findWindows(std::strtol(argv[2], nullptr, 10), argv[3]);
    if (command == "watch-window" && (argc == 5 || (argc == 6 && std::string(argv[5]) == "shape")))
        return watchWindow(std::strtol(argv[2], nullptr, 10), argv[3], number(4), argc == 6);
    if (command == "shape" && argc == 4)
        return printShape(window(2), argv[3]);
    if (command == "wm-state" && argc == 5)
        return changeWmState(window(2), std::string(argv[3]) == "add", argv[4]);
    if (command == "hold-grab" && argc == 4)
        return holdGrab(argv[2], number(3));
    if (command == "click-target" && argc == 7)
        return clickTarget(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), number(6));
    if (command == "root-ppm" && argc == 2)
        return writeRootPpm(0, 0, screen()->width_in_pixels, screen()->height_in_pixels);
    if (command == "root-ppm" && argc == 6)
        return writeRootPpm(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (command == "desktop-window" && argc >= 4) {
        std::vector<uint32_t> colours;
        for (int i = 3; i < argc; ++i)
            colours.push_back(uint32_t(std::strtoul(argv[i], nullptr, 16)));
        return desktopWindow(number(2), colours);
    }
    std::fputs(usage, stderr);
    return 2;
}

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    probe::c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(probe::c))
        return 1;
    probe::root = probe::screen()->root;
    return run(argv[1], argc, argv);
}
