// x11probe: reads for end-to-end tests what xprop and xwininfo do not show, and plays other clients:
// grabs held as others hold them, a click log, a wallpaper, the screen's pixels, selection owners.
#include "x11probe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace probe {

xcb_connection_t* c;
xcb_window_t root;

xcb_atom_t atom(const char* name)
{
    auto r = own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr));
    return r ? r->atom : XCB_NONE;
}

xcb_screen_t* screen() { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }

// A top-level window titled title; background is XCB_CW_BACK_PIXEL or XCB_CW_BACK_PIXMAP, with value.
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

// Writes a rectangle of the root window as a binary PPM ("P6\n<w> <h>\n255\n", then the pixels):
// what the screen shows, composited, in one request. (xwd rebuilds multi-visual screens from each
// window's own pixels, losing the compositor's blend.) Only 32 bits per pixel (depth 24 and 32).
int writeRootPpm(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return 2;
    auto image = own(xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
        int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), ~0u), nullptr));
    if (!image || xcb_get_image_data_length(image.get()) < width * height * 4)
        return 1;
    bool lsbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    auto* data = xcb_get_image_data(image.get());
    int stride = xcb_get_image_data_length(image.get()) / height;
    std::printf("P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int r = 0; r < height; ++r) {
        for (int col = 0; col < width; ++col) {
            auto* p = data + r * stride + col * 4;
            row[size_t(col) * 3] = lsbFirst ? p[2] : p[1];
            row[size_t(col) * 3 + 1] = lsbFirst ? p[1] : p[2];
            row[size_t(col) * 3 + 2] = lsbFirst ? p[0] : p[3];
        }
        std::fwrite(row.data(), 1, row.size(), stdout);
    }
    return 0;
}

// Maps a screen-sized window of type _NET_WM_WINDOW_TYPE_DESKTOP (what a desktop's wallpaper
// is: the window manager keeps it below everything) painted in vertical stripes of equal width,
// one per colour (rrggbb), and keeps it for a while. Prints "ready 0xID" once it is mapped. Its
// background pixmap lets the server repaint it on every expose, with or without a compositor.
int desktopWindow(double seconds, const std::vector<uint32_t>& colours)
{
    int width = screen()->width_in_pixels, height = screen()->height_in_pixels;
    xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen()->root_depth, pixmap, root, uint16_t(width), uint16_t(height));
    xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    for (size_t i = 0; i < colours.size(); ++i) {
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colours[i]);
        int left = int(width * i / colours.size()), right = int(width * (i + 1) / colours.size());
        xcb_rectangle_t stripe { int16_t(left), 0, uint16_t(right - left), uint16_t(height) };
        xcb_poly_fill_rectangle(c, pixmap, gc, 1, &stripe);
    }
    xcb_window_t w = createWindow(0, 0, width, height, XCB_CW_BACK_PIXMAP, pixmap, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
        "e2e-desktop");
    xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
    // A window manager just started now and then lets a first map request go unanswered: ask
    // again every half second until the window is up.
    bool mapped = false;
    double nextRequest = 0;
    return eachEvent(seconds, [&](xcb_generic_event_t*, int type) {
        if (type == XCB_MAP_NOTIFY && !mapped) {
            mapped = true;
            std::printf("ready 0x%x\n", w);
        }
    }, [&] {
        if (!mapped && nowMs() > nextRequest) {
            xcb_map_window(c, w);
            xcb_flush(c);
            nextRequest = nowMs() + 500;
        }
    });
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
