// One window's own pixels through the Composite extension, whatever covers it on screen.
#include "x11/capture/WindowCapture.h"

#include "x11/windows/TopLevelWindows.h"
#include "x11/xcb/XcbReplies.h"

#include <xcb/composite.h>

#include <QPainter>

namespace tavelin::x11::capture {

namespace {

// A void request whose error, if any, is taken here instead of reaching an event queue.
bool succeeded(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    free(error);
    return error == nullptr;
}

}

// Composite 0.2 brought NameWindowPixmap; QueryVersion must come before any other Composite
// request on a connection.
WindowCapture::WindowCapture(xcb::X11Connection& x11, DrawableReader& reader)
    : m_x11(x11)
    , m_reader(reader)
{
    auto* c = m_x11.connection();
    if (!c)
        return;
    const auto* extension = xcb_get_extension_data(c, &xcb_composite_id);
    if (!extension || !extension->present)
        return;
    auto version = xcb::takeReply(c, xcb_composite_query_version(c, 0, 4), &xcb_composite_query_version_reply);
    m_available = version && (version->major_version > 0 || version->minor_version >= 2);
}

WindowCapture::~WindowCapture() { release(); }

void WindowCapture::follow(xcb_window_t client)
{
    if (!m_available)
        return;
    auto topLevel = client != XCB_NONE ? windows::topLevelOf(m_x11, client) : std::nullopt;
    if (topLevel && *topLevel == m_redirected)
        return;
    release();
    if (topLevel && redirect(*topLevel))
        m_redirected = *topLevel;
}

// Automatic redirection (Composite, RedirectWindow) gives the window an off-screen pixmap while
// the server keeps showing it as before; it stacks with a compositing manager's manual one.
// The server maps a viewable window afresh into its new pixmap, so its owner gets Expose and
// paints all of it, covered parts included.
bool WindowCapture::redirect(xcb_window_t topLevel)
{
    auto* c = m_x11.connection();
    return succeeded(c, xcb_composite_redirect_window_checked(c, topLevel, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
}

void WindowCapture::release()
{
    if (m_redirected == XCB_NONE)
        return;
    auto* c = m_x11.connection();
    // A window that has gone took its redirection with it; the BadWindow is dropped.
    succeeded(c, xcb_composite_unredirect_window_checked(c, m_redirected, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    m_redirected = XCB_NONE;
}

// NameWindowPixmap names the top-level's off-screen contents, border included, with (0, 0) at
// the border's outer corner, which GetGeometry places relative to the root. It fails with
// BadMatch for a window that is not viewable or not redirected.
QImage WindowCapture::capture(xcb_window_t client, const QRect& area)
{
    auto* c = m_x11.connection();
    if (!m_available || area.isEmpty())
        return {};
    auto topLevel = windows::topLevelOf(m_x11, client);
    if (!topLevel)
        return {};
    if (*topLevel != m_redirected)
        follow(client);
    auto geometryCookie = xcb_get_geometry(c, *topLevel);
    auto attributesCookie = xcb_get_window_attributes(c, *topLevel);
    auto geometry = xcb::takeReply(c, geometryCookie, &xcb_get_geometry_reply);
    auto attributes = xcb::takeReply(c, attributesCookie, &xcb_get_window_attributes_reply);
    if (!geometry || !attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return {};

    int border = geometry->border_width;
    QRect pixmapRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
    QRect source = area.intersected(pixmapRect);
    if (source.isEmpty())
        return {};
    xcb_pixmap_t pixmap = xcb_generate_id(c);
    if (!succeeded(c, xcb_composite_name_window_pixmap_checked(c, *topLevel, pixmap)))
        return {};
    QImage pixels = m_reader.read(pixmap, source.translated(-pixmapRect.topLeft()), attributes->visual);
    xcb_free_pixmap(c, pixmap);
    if (pixels.isNull() || source == area)
        return pixels;

    QImage whole(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (whole.isNull())
        return {};
    whole.fill(Qt::transparent);
    QPainter painter(&whole);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(source.topLeft() - area.topLeft(), pixels);
    return whole;
}

}
