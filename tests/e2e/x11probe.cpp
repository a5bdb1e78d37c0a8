// Reads what the end-to-end tests need from the X server and xprop/xwininfo do not show:
// selection owners, input and bounding shapes, and Tavelin's own windows by pid and title.
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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
int findWindows(long pid, const char* title, bool all)
{
    std::vector<xcb_window_t> windows;
    collect(root, windows);
    auto pidAtom = atom("_NET_WM_PID");
    auto nameAtom = atom("_NET_WM_NAME");
    int found = 0;
    for (auto w : windows) {
        if (cardinal(w, pidAtom) != pid || !viewable(w))
            continue;
        auto name = stringProperty(w, nameAtom);
        if (name.empty())
            name = stringProperty(w, XCB_ATOM_WM_NAME);
        if (name != title)
            continue;
        std::printf("0x%x\n", w);
        ++found;
        if (!all)
            break;
    }
    if (!found && !all)
        std::printf("0x0\n");
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

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11probe selection-owner ATOM | find-overlay PID | find-window PID TITLE | "
                             "input-shape WIN | bounding-shape WIN | geometry WIN | wm-state WIN add|remove STATE_ATOM | "
                             "hold-grab SECONDS | root-pixels X Y W H\n");
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
    if (command == "root-pixels" && argc == 6)
        return printRootPixels(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    std::fprintf(stderr, "x11probe: unknown command\n");
    return 2;
}
