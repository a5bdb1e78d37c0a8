// One window's own pixels through the Composite extension, whatever covers it on screen.
#pragma once

#include "x11/capture/DrawableImage.h"
#include "x11/xcb/X11Connection.h"

#include <QImage>
#include <QRect>

#include <optional>

namespace tavelin::x11::capture {

class WindowCapture {
public:
    WindowCapture(xcb::X11Connection& x11, DrawableReader& reader);
    ~WindowCapture();
    WindowCapture(const WindowCapture&) = delete;
    WindowCapture& operator=(const WindowCapture&) = delete;

    bool isAvailable() const { return m_available; }

    // Keeps the top-level holding client redirected, so its contents exist off screen by the time
    // a shot is taken; the previous one is released. XCB_NONE releases without a new one.
    void follow(xcb_window_t client);

    // The pixels at area (device pixels on the root) of the top-level holding client, its frame
    // included. Parts of area outside that top-level are transparent. Null once the window is
    // gone or cannot be read (unmapped, iconified).
    QImage capture(xcb_window_t client, const QRect& area);

private:
    bool redirect(xcb_window_t topLevel);
    void release();

    xcb::X11Connection& m_x11;
    DrawableReader& m_reader;
    bool m_available = false;
    xcb_window_t m_redirected = XCB_NONE;
};

}
