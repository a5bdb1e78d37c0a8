// The overlay's pixels in memory of our own, put into its window and given back while nothing is painted.
#pragma once

#include "x11/capture/ShmSegment.h"

#include <QImage>
#include <QRegion>
#include <QTimer>

#include <memory>

namespace tavelin::x11::overlay {

// A 4K overlay is 33 MB of pixels. Qt's backing store would keep them for the life of the window,
// though the server holds the window's contents itself (a compositing manager redirects it to a
// pixmap). Here they live only while frames come: painted into a shared-memory segment (or a plain
// image where the server cannot share memory), put into the window, and released once painting
// has paused.
class WindowBuffer {
public:
    WindowBuffer();
    ~WindowBuffer();
    WindowBuffer(const WindowBuffer&) = delete;
    WindowBuffer& operator=(const WindowBuffer&) = delete;

    // An image of pixelSize with the given device pixel ratio to paint the next frame into; null
    // when no memory can be had. Its pixels are only those of the last frame when the size is
    // the same and the memory was not released meanwhile.
    QImage* begin(QSize pixelSize, double devicePixelRatio);
    // Puts area of the painted image into window at the same place.
    void put(xcb_window_t window, const QRegion& area);

    // How long painting must pause before the memory goes back.
    static constexpr int idleMs = 1000;

private:
    void waitUntilRead();
    void release();
    bool usesSegment() const { return m_segment != nullptr; }

    xcb_connection_t* m_connection;
    capture::ShmPool m_pool;
    std::shared_ptr<capture::ShmSegment> m_segment;
    QImage m_image;
    xcb_window_t m_gcWindow = XCB_NONE;
    xcb_gcontext_t m_gc = 0;
    uint8_t m_depth = 0;
    bool m_unread = false; // a put the server may not have read yet
    QTimer m_idle;
};

}
