// x11probe's pixel commands: what the screen shows, read from the root, and a wallpaper to show.
#include "x11probe.h"

#include <cstdio>

namespace probe {

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
