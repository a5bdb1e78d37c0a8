// The overlay's pixels in memory of our own, put into its window and given back while nothing is painted.
#include "x11/overlay/WindowBuffer.h"

#include "x11/xcb/X11Connection.h"
#include "x11/xcb/XcbReplies.h"

#include <algorithm>
#include <cassert>

namespace tavelin::x11::overlay {

WindowBuffer::WindowBuffer()
    : m_connection(xcb::qtConnection())
    , m_pool(m_connection)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMs);
    QObject::connect(&m_idle, &QTimer::timeout, [this] { release(); });
}

WindowBuffer::~WindowBuffer()
{
    release();
    if (m_gc)
        xcb_free_gc(m_connection, m_gc);
}

QImage* WindowBuffer::begin(QSize pixelSize, double devicePixelRatio)
{
    if (pixelSize.isEmpty() || !m_connection)
        return nullptr;
    m_idle.start();
    // Painting into memory the server is still reading from would tear the last frame.
    waitUntilRead();
    size_t stride = size_t(pixelSize.width()) * 4;
    size_t bytes = stride * size_t(pixelSize.height());
    if (m_image.size() != pixelSize) {
        m_image = QImage();
        m_segment = m_pool.writable(bytes);
        m_image = m_segment
            ? QImage(m_segment->memory, pixelSize.width(), pixelSize.height(), qsizetype(stride), QImage::Format_ARGB32_Premultiplied)
            : QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
        if (m_image.isNull())
            return nullptr;
    }
    m_image.setDevicePixelRatio(devicePixelRatio);
    return &m_image;
}

// PutImage in ZPixmap format at the window's depth: 32 bits a pixel, as the image holds them
// (premultiplied ARGB in the server's byte order, which is ours on a local server).
void WindowBuffer::put(xcb_window_t window, const QRegion& area)
{
    if (m_image.isNull() || window == XCB_NONE)
        return;
    if (window != m_gcWindow) {
        if (m_gc)
            xcb_free_gc(m_connection, m_gc);
        m_gc = xcb_generate_id(m_connection);
        xcb_create_gc(m_connection, m_gc, window, 0, nullptr);
        auto geometry = xcb::takeReply(m_connection, xcb_get_geometry(m_connection, window), &xcb_get_geometry_reply);
        m_depth = geometry ? geometry->depth : 32;
        m_gcWindow = window;
    }
    int width = m_image.width(), height = m_image.height();
    for (const QRect& r : area.intersected(m_image.rect())) {
        if (usesSegment()) {
            xcb_shm_put_image(m_connection, window, m_gc, uint16_t(width), uint16_t(height), int16_t(r.x()),
                int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()), int16_t(r.x()), int16_t(r.y()), m_depth,
                XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_segment->id, 0);
            continue;
        }
        // Without shared memory the rows go in requests no longer than the server takes.
        size_t maxBytes = size_t(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
        int rowsPerRequest = std::max(1, int(maxBytes / (size_t(r.width()) * 4)));
        for (int y = r.top(); y <= r.bottom(); y += rowsPerRequest) {
            int rows = std::min(rowsPerRequest, r.bottom() + 1 - y);
            QImage band = m_image.copy(r.x(), y, r.width(), rows);
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, m_gc, uint16_t(r.width()), uint16_t(rows),
                int16_t(r.x()), int16_t(y), 0, m_depth, uint32_t(band.sizeInBytes()), band.constBits());
        }
    }
    xcb_flush(m_connection);
    m_unread = usesSegment();
}

// Requests are handled in order: once a later one is answered, the put has been read.
void WindowBuffer::waitUntilRead()
{
    if (!m_unread)
        return;
    xcb::takeReply(m_connection, xcb_get_input_focus(m_connection), &xcb_get_input_focus_reply);
    m_unread = false;
}

void WindowBuffer::release()
{
    m_idle.stop();
    waitUntilRead();
    m_image = QImage();
    m_segment.reset();
    m_pool.releaseIdle();
}

}
