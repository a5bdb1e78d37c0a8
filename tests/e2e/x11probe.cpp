// Reads what the end-to-end tests need from the X server and xprop/xwininfo do not show:
// selection owners, input and bounding shapes, Tavelin's own windows by pid and title, window
// rectangles over time; and plays other clients: EWMH state requests, a pointer grab held.
#include <xcb/shape.h>
#include <xcb/xfixes.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

xcb_connection_t* c;
xcb_window_t root;

template<typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

xcb_atom_t atom(const char* name)
{
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr), &free);
    return r ? r->atom : XCB_NONE;
}

std::string stringProperty(xcb_window_t w, xcb_atom_t property)
{
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c,
        xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr), &free);
    if (!r || r->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(r.get())), xcb_get_property_value_length(r.get()));
}

long cardinal(xcb_window_t w, xcb_atom_t property)
{
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c,
        xcb_get_property(c, 0, w, property, XCB_ATOM_CARDINAL, 0, 1), nullptr), &free);
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return -1;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
}

void collect(xcb_window_t w, std::vector<xcb_window_t>& out)
{
    out.push_back(w);
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr), &free);
    if (!tree)
        return;
    auto* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        collect(children[i], out);
}

bool viewable(xcb_window_t w)
{
    Reply<xcb_get_window_attributes_reply_t> a(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &free);
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

// Mapped windows of process pid whose WM_NAME is title.
std::vector<xcb_window_t> matchingWindows(long pid, const char* title)
{
    std::vector<xcb_window_t> windows;
    collect(root, windows);
    auto pidAtom = atom("_NET_WM_PID");
    auto nameAtom = atom("_NET_WM_NAME");
    std::vector<xcb_window_t> found;
    for (auto w : windows) {
        if (cardinal(w, pidAtom) != pid || !viewable(w))
            continue;
        auto name = stringProperty(w, nameAtom);
        if (name.empty())
            name = stringProperty(w, XCB_ATOM_WM_NAME);
        if (name == title)
            found.push_back(w);
    }
    return found;
}

int findWindows(long pid, const char* title, bool all)
{
    auto found = matchingWindows(pid, title);
    if (found.empty() && !all)
        std::printf("0x0\n");
    for (auto w : found) {
        std::printf("0x%x\n", w);
        if (!all)
            break;
    }
    return 0;
}

// Watches for seconds, every 2 ms, whether a window of pid titled title is mapped, and prints each
// change as "<ms> appeared <id> <x> <y> <w> <h>" or "<ms> vanished": catches windows that live
// only a fraction of a second (the screenshot flash) or must never go away.
int watchWindows(long pid, const char* title, double seconds)
{
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(); };
    xcb_window_t shown = XCB_NONE;
    while (elapsed() < seconds * 1000) {
        auto found = matchingWindows(pid, title);
        xcb_window_t now = found.empty() ? XCB_NONE : found.front();
        if (now != shown && now != XCB_NONE) {
            Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, now), nullptr), &free);
            Reply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(c,
                xcb_translate_coordinates(c, now, root, 0, 0), nullptr), &free);
            std::printf("%.0f appeared 0x%x %d %d %u %u\n", elapsed(), now, t ? t->dst_x : 0, t ? t->dst_y : 0,
                g ? g->width : 0, g ? g->height : 0);
        } else if (now != shown) {
            std::printf("%.0f vanished\n", elapsed());
        }
        std::fflush(stdout);
        shown = now;
        usleep(2000);
    }
    return 0;
}

// Like watchWindows, but on each appearance prints the window's bounding shape as the server
// holds it then: "<ms> appeared <id> <count> <x> <y> <w> <h>" with the first rectangle (or
// "<ms> appeared <id> 0"), so the shape of a window living a fraction of a second is caught.
int watchShape(long pid, const char* title, double seconds)
{
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(); };
    xcb_window_t shown = XCB_NONE;
    while (elapsed() < seconds * 1000) {
        auto found = matchingWindows(pid, title);
        xcb_window_t now = found.empty() ? XCB_NONE : found.front();
        if (now != shown && now != XCB_NONE) {
            Reply<xcb_shape_get_rectangles_reply_t> r(xcb_shape_get_rectangles_reply(c,
                xcb_shape_get_rectangles(c, now, XCB_SHAPE_SK_BOUNDING), nullptr), &free);
            int n = r ? xcb_shape_get_rectangles_rectangles_length(r.get()) : 0;
            std::printf("%.0f appeared 0x%x %d", elapsed(), now, n);
            if (n > 0) {
                auto* first = xcb_shape_get_rectangles_rectangles(r.get());
                std::printf(" %d %d %u %u", first->x, first->y, first->width, first->height);
            }
            std::printf("\n");
        } else if (now != shown) {
            std::printf("%.0f vanished\n", elapsed());
        }
        std::fflush(stdout);
        shown = now;
        usleep(2000);
    }
    return 0;
}

int printShape(xcb_window_t w, xcb_shape_kind_t kind)
{
    Reply<xcb_shape_get_rectangles_reply_t> r(xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, w, kind), nullptr), &free);
    if (!r)
        return 1;
    auto* rects = xcb_shape_get_rectangles_rectangles(r.get());
    int n = xcb_shape_get_rectangles_rectangles_length(r.get());
    std::printf("%d\n", n);
    for (int i = 0; i < n && i < 50; ++i)
        std::printf("%d %d %u %u\n", rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    return 0;
}

int printGeometry(xcb_window_t w)
{
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr), &free);
    Reply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr), &free);
    if (!g || !t)
        return 1;
    std::printf("%d %d %u %u %u\n", t->dst_x, t->dst_y, g->width, g->height, g->depth);
    return 0;
}

// EWMH _NET_WM_STATE on a mapped window: a client message to the root, which the window manager
// carries out (setting the property directly is not seen by it). action: 0 remove, 1 add.
int changeWmState(xcb_window_t w, uint32_t action, const char* state)
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = w;
    message.type = atom("_NET_WM_STATE");
    message.data.data32[0] = action;
    message.data.data32[1] = atom(state);
    message.data.data32[3] = 1; // source: a normal application
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
    Reply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &free);
    return 0;
}

// Holds an active pointer grab on the root for a while, as an open menu of another client does.
// Prints "grabbed" once it has the pointer.
int holdPointerGrab(double seconds)
{
    Reply<xcb_grab_pointer_reply_t> r(xcb_grab_pointer_reply(c, xcb_grab_pointer(c, 0, root, XCB_EVENT_MASK_BUTTON_PRESS,
        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME), nullptr), &free);
    if (!r || r->status != XCB_GRAB_STATUS_SUCCESS)
        return 1;
    std::printf("grabbed\n");
    std::fflush(stdout);
    usleep(static_cast<useconds_t>(seconds * 1e6));
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    return 0;
}

// Holds an active keyboard grab on the root for a while, as another client's open menu does: keys
// go to it, and a later grab by anyone else fails. Prints "grabbed" once it has the keyboard.
int holdKeyboardGrab(double seconds)
{
    Reply<xcb_grab_keyboard_reply_t> r(xcb_grab_keyboard_reply(c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME,
        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr), &free);
    if (!r || r->status != XCB_GRAB_STATUS_SUCCESS)
        return 1;
    std::printf("grabbed\n");
    std::fflush(stdout);
    usleep(static_cast<useconds_t>(seconds * 1e6));
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    return 0;
}

// Whether some client holds the keyboard grab: our own attempt fails with AlreadyGrabbed. When the
// keyboard is free the attempt succeeds and is undone at once. Prints "taken" or "free".
int printKeyboardGrabState()
{
    Reply<xcb_grab_keyboard_reply_t> r(xcb_grab_keyboard_reply(c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME,
        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr), &free);
    if (!r)
        return 1;
    if (r->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_flush(c);
    }
    std::printf("%s\n", r->status == XCB_GRAB_STATUS_ALREADY_GRABBED ? "taken" : "free");
    return 0;
}

// Pixels of the root window (what the screen shows, compositor included) as rrggbb hex, one line
// per row: cheaper than a whole-screen dump when a test watches a few rows change.
int printRootPixels(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return 2;
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
        int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), ~0u), nullptr), &free);
    if (!image || xcb_get_image_data_length(image.get()) < width * height * 4)
        return 1; // Only 32 bits per pixel (depth 24 and 32) is read.
    bool lsbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    auto* data = xcb_get_image_data(image.get());
    int stride = xcb_get_image_data_length(image.get()) / height;
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            auto* p = data + row * stride + col * 4;
            uint32_t v = lsbFirst ? (p[0] | p[1] << 8 | p[2] << 16) : (p[3] | p[2] << 8 | p[1] << 16);
            std::printf(col ? " %06x" : "%06x", v & 0xffffff);
        }
        std::printf("\n");
    }
    return 0;
}

// Writes the whole root window as a binary PPM: what the screen shows, composited, in one request.
// (xwd rebuilds multi-visual screens from each window's own pixels, losing the compositor's blend.)
int writeRootPpm()
{
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    int width = screen->width_in_pixels, height = screen->height_in_pixels;
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
        0, 0, uint16_t(width), uint16_t(height), ~0u), nullptr), &free);
    if (!image || xcb_get_image_data_length(image.get()) < width * height * 4)
        return 1;
    bool lsbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    auto* data = xcb_get_image_data(image.get());
    int stride = xcb_get_image_data_length(image.get()) / height;
    std::printf("P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* p = data + y * stride + x * 4;
            row[size_t(x) * 3] = lsbFirst ? p[2] : p[1];
            row[size_t(x) * 3 + 1] = lsbFirst ? p[1] : p[2];
            row[size_t(x) * 3 + 2] = lsbFirst ? p[0] : p[3];
        }
        std::fwrite(row.data(), 1, row.size(), stdout);
    }
    return 0;
}

// Prints "MS WIN X Y W H" each time one of the windows' rectangle on the root changes, reading
// them every millisecond for a while: how closely one window follows another, over time.
int watchGeometry(const std::vector<xcb_window_t>& windows, double seconds)
{
    auto now = [] {
        timespec t {};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
    };
    std::vector<std::string> last(windows.size());
    double end = now() + seconds * 1000;
    while (now() < end) {
        std::vector<xcb_get_geometry_cookie_t> g;
        std::vector<xcb_translate_coordinates_cookie_t> t;
        for (auto w : windows) {
            g.push_back(xcb_get_geometry(c, w));
            t.push_back(xcb_translate_coordinates(c, w, root, 0, 0));
        }
        double at = now();
        for (size_t i = 0; i < windows.size(); ++i) {
            Reply<xcb_get_geometry_reply_t> gr(xcb_get_geometry_reply(c, g[i], nullptr), &free);
            Reply<xcb_translate_coordinates_reply_t> tr(xcb_translate_coordinates_reply(c, t[i], nullptr), &free);
            std::string rect = gr && tr ? std::to_string(tr->dst_x) + " " + std::to_string(tr->dst_y) + " "
                    + std::to_string(gr->width) + " " + std::to_string(gr->height)
                                        : "gone";
            if (rect != last[i])
                std::printf("%.3f 0x%x %s\n", at, windows[i], rect.c_str());
            last[i] = rect;
        }
        std::fflush(stdout);
        usleep(1000);
    }
    return 0;
}

// Maps an ordinary window (solid teal) at X Y, W × H, prints "ready 0xID" once it is mapped, then
// "press X Y BUTTON" (root coordinates) for every button press it gets, for a while: whether
// clicks reach a window lying under Tavelin's overlay.
int clickTarget(int x, int y, int width, int height, double seconds)
{
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_window_t w = xcb_generate_id(c);
    uint32_t values[] = { 0x208080, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char title[] = "e2e-click-target";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
    // ICCCM WM_NORMAL_HINTS with a user-specified position and size, which window managers keep.
    uint32_t hints[18] = { 1 | 2, uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(height) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, w);
    xcb_flush(c);
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto end = now() + std::chrono::duration<double>(seconds);
    while (now() < end) {
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
        usleep(2000);
    }
    return 0;
}

// Maps a screen-sized window of type _NET_WM_WINDOW_TYPE_DESKTOP (what a desktop's wallpaper
// is: the window manager keeps it below everything) painted in vertical stripes of equal width,
// one per colour (rrggbb), and keeps it for a while. Prints "ready 0xID" once it is mapped. Its
// background pixmap lets the server repaint it on every expose, with or without a compositor.
int desktopWindow(double seconds, const std::vector<uint32_t>& colours)
{
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    int width = screen->width_in_pixels, height = screen->height_in_pixels;
    xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, root, uint16_t(width), uint16_t(height));
    xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    for (size_t i = 0; i < colours.size(); ++i) {
        uint32_t colour = colours[i];
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
        int left = int(width * i / colours.size()), right = int(width * (i + 1) / colours.size());
        xcb_rectangle_t stripe { int16_t(left), 0, uint16_t(right - left), uint16_t(height) };
        xcb_poly_fill_rectangle(c, pixmap, gc, 1, &stripe);
    }
    xcb_window_t w = xcb_generate_id(c);
    uint32_t values[] = { pixmap, XCB_EVENT_MASK_STRUCTURE_NOTIFY };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, uint16_t(width), uint16_t(height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    const char title[] = "e2e-desktop";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
    xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
    xcb_map_window(c, w);
    xcb_flush(c);
    // A window manager just started now and then lets a first map request go unanswered: ask
    // again every half second until the window is up.
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto end = now() + std::chrono::duration<double>(seconds);
    auto nextRequest = now() + std::chrono::milliseconds(500);
    bool mapped = false;
    while (now() < end) {
        while (auto* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !mapped) {
                mapped = true;
                std::printf("ready 0x%x\n", w);
                std::fflush(stdout);
            }
            free(event);
        }
        if (xcb_connection_has_error(c))
            return 1;
        if (!mapped && now() > nextRequest) {
            xcb_map_window(c, w);
            xcb_flush(c);
            nextRequest = now() + std::chrono::milliseconds(500);
        }
        usleep(10000);
    }
    return 0;
}

// Prints "<CLOCK_MONOTONIC ms> <owner>" for the owner of selection now and, for up to seconds, when
// it first changes (XFixes selection notify: no polling load on the server), then ends. Times a
// clipboard hand-over against other clocks of the same machine.
int watchSelectionOwner(const char* selection, double seconds)
{
    auto now = [] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
    auto name = atom(selection);
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    const auto* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return 1;
    xcb_xfixes_select_selection_input(c, root, name, XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    Reply<xcb_get_selection_owner_reply_t> first(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, name),
        nullptr), &free);
    double start = now();
    std::printf("%.3f 0x%x\n", start, first ? first->owner : 0u);
    std::fflush(stdout);
    pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
    while (now() - start < seconds * 1000) {
        while (auto* event = xcb_poll_for_event(c)) {
            bool notify = (event->response_type & 0x7f) == xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
            auto owner = notify ? reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event)->owner : 0u;
            free(event);
            if (notify) {
                std::printf("%.3f 0x%x\n", now(), owner);
                return 0;
            }
        }
        poll(&fd, 1, 10);
    }
    return 1;
}
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11probe selection-owner ATOM | find-overlay PID | find-window PID TITLE | "
                             "input-shape WIN | bounding-shape WIN | geometry WIN | wm-state WIN add|remove STATE_ATOM | "
                             "hold-grab SECONDS | hold-keyboard-grab SECONDS | keyboard-grab-state | root-pixels X Y W H | watch-window PID TITLE SECONDS | "
                             "click-target X Y W H SECONDS | desktop-window SECONDS RRGGBB... | watch-shape PID TITLE SECONDS\n");
        return 2;
    }
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::string command = argv[1];
    auto window = [&] { return static_cast<xcb_window_t>(std::strtoul(argv[2], nullptr, 0)); };
    if (command == "selection-owner" && argc == 3) {
        Reply<xcb_get_selection_owner_reply_t> r(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(argv[2])), nullptr), &free);
        std::printf("0x%x\n", r ? r->owner : 0);
        return 0;
    }
    if (command == "find-overlay" && argc == 3)
        return findWindows(std::strtol(argv[2], nullptr, 10), "Tavelin Overlay", false);
    if (command == "find-window" && argc == 4)
        return findWindows(std::strtol(argv[2], nullptr, 10), argv[3], true);
    if (command == "input-shape" && argc == 3)
        return printShape(window(), XCB_SHAPE_SK_INPUT);
    if (command == "bounding-shape" && argc == 3)
        return printShape(window(), XCB_SHAPE_SK_BOUNDING);
    if (command == "geometry" && argc == 3)
        return printGeometry(window());
    if (command == "wm-state" && argc == 5)
        return changeWmState(window(), std::string(argv[3]) == "add" ? 1 : 0, argv[4]);
    if (command == "hold-grab" && argc == 3)
        return holdPointerGrab(std::strtod(argv[2], nullptr));
    if (command == "keyboard-grab-state" && argc == 2)
        return printKeyboardGrabState();
    if (command == "hold-keyboard-grab" && argc == 3)
        return holdKeyboardGrab(std::strtod(argv[2], nullptr));
    if (command == "root-ppm" && argc == 2)
        return writeRootPpm();
    if (command == "root-pixels" && argc == 6)
        return printRootPixels(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (command == "watch-owner" && argc == 4)
        return watchSelectionOwner(argv[2], std::strtod(argv[3], nullptr));
    if (command == "watch-window" && argc == 5)
        return watchWindows(std::strtol(argv[2], nullptr, 10), argv[3], std::strtod(argv[4], nullptr));
    if (command == "watch-geometry" && argc >= 4) {
        std::vector<xcb_window_t> windows;
        for (int i = 3; i < argc; ++i)
            windows.push_back(static_cast<xcb_window_t>(std::strtoul(argv[i], nullptr, 0)));
        return watchGeometry(windows, std::strtod(argv[2], nullptr));
    }
    if (command == "click-target" && argc == 7)
        return clickTarget(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
            std::strtod(argv[6], nullptr));
    if (command == "watch-shape" && argc == 5)
        return watchShape(std::strtol(argv[2], nullptr, 10), argv[3], std::strtod(argv[4], nullptr));
    if (command == "desktop-window" && argc >= 4) {
        std::vector<uint32_t> colours;
        for (int i = 3; i < argc; ++i)
            colours.push_back(uint32_t(std::strtoul(argv[i], nullptr, 16)));
        return desktopWindow(std::strtod(argv[2], nullptr), colours);
    }
    std::fprintf(stderr, "x11probe: unknown command\n");
    return 2;
}
