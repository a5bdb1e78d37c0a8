// x11probe's input commands: grabs held as other clients hold them, a click log, selection owners.
#include "x11probe.h"

#include <xcb/xfixes.h>

#include <cstdio>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace probe {

// Holds an active grab of the pointer or the keyboard on the root for a while, as another client's
// open menu does, and prints "grabbed" once it has it. Fails (status 1) when someone else holds it:
// with 0 seconds, a test of whether the device is free.
int holdGrab(const char* device, double seconds)
{
    bool keyboard = std::string(device) == "keyboard";
    bool held = false;
    if (keyboard) {
        auto r = own(xcb_grab_keyboard_reply(c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME,
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
        held = r && r->status == XCB_GRAB_STATUS_SUCCESS;
    } else {
        auto r = own(xcb_grab_pointer_reply(c, xcb_grab_pointer(c, 0, root, XCB_EVENT_MASK_BUTTON_PRESS,
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME), nullptr));
        held = r && r->status == XCB_GRAB_STATUS_SUCCESS;
    }
    if (!held)
        return 1;
    std::printf("grabbed\n");
    std::fflush(stdout);
    usleep(static_cast<useconds_t>(seconds * 1e6));
    keyboard ? xcb_ungrab_keyboard(c, XCB_CURRENT_TIME) : xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    return 0;
}

// Maps an ordinary window (solid teal) at X Y, W × H, prints "ready 0xID" once it is mapped, then
// "press X Y BUTTON" (root coordinates) for every button press it gets, for a while: whether
// clicks reach a window lying under Tavelin's overlay.
int clickTarget(int x, int y, int width, int height, double seconds)
{
    xcb_window_t w = xcb_generate_id(c);
    uint32_t values[] = { 0x208080, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen()->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char title[] = "e2e-click-target";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
    // ICCCM WM_NORMAL_HINTS with a user-specified position and size, which window managers keep.
    uint32_t hints[18] = { 1 | 2, uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(height) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, w);
    xcb_flush(c);
    for (double end = nowMs() + seconds * 1000; nowMs() < end; usleep(2000)) {
        while (auto* event = xcb_poll_for_event(c)) {
            auto type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY)
                std::printf("ready 0x%x\n", w);
            if (type == XCB_BUTTON_PRESS) {
                auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
                std::printf("press %d %d %d\n", press->root_x, press->root_y, press->detail);
            }
            std::fflush(stdout);
            free(event);
        }
        if (xcb_connection_has_error(c))
            return 1;
    }
    return 0;
}

// Prints "<CLOCK_MONOTONIC ms> <owner>" for the owner of selection now and, for up to seconds, when
// it first changes (XFixes selection notify: no polling load on the server), then ends: with 0
// seconds, who owns it; else the time of a clipboard hand-over against the machine's other clocks.
int watchSelectionOwner(const char* selection, double seconds)
{
    auto name = atom(selection);
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    const auto* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return 1;
    xcb_xfixes_select_selection_input(c, root, name, XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    auto first = own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, name), nullptr));
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

}
