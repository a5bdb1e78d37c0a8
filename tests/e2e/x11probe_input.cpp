// x11probe's input commands: grabs held as other clients hold them, a click log, selection owners.
#include "x11probe.h"

#include <cstdio>
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
    xcb_window_t w = createWindow(x, y, width, height, XCB_CW_BACK_PIXEL, 0x208080,
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY, "e2e-click-target");
    // ICCCM WM_NORMAL_HINTS with a user-specified position and size, which window managers keep.
    uint32_t hints[18] = { 1 | 2, uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(height) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, w);
    xcb_flush(c);
    return eachEvent(seconds, [&](xcb_generic_event_t* event, int type) {
        if (type == XCB_MAP_NOTIFY)
            std::printf("ready 0x%x\n", w);
        if (type == XCB_BUTTON_PRESS) {
            auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
            std::printf("press %d %d %d\n", press->root_x, press->root_y, press->detail);
        }
    });
}

// Prints the owner of a selection ("0x0" for none).
int printSelectionOwner(const char* selection)
{
    auto r = own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(selection)), nullptr));
    std::printf("0x%x\n", r ? r->owner : 0u);
    return r ? 0 : 1;
}

}
