// Reading the pixels of a window or pixmap into a QImage (GetImage, or MIT-SHM when the server shares memory).
#pragma once

#include "x11/capture/ShmSegment.h"

#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

namespace tavelin::x11::capture {

class DrawableReader {
public:
    explicit DrawableReader(xcb_connection_t* connection);

    // The area of drawable as a QImage, or a null image when the drawable is gone, the area lies
    // outside it, or its pixel format is one we do not read. visual names the channel layout: a
    // pixmap has none of its own, so the caller passes that of the window it belongs to. The
    // image may point into shared memory that the next read reuses once the image is gone.
    QImage read(xcb_drawable_t drawable, const QRect& area, xcb_visualid_t visual);

    // Lets go of memory kept for the next read.
    void releaseIdle() { m_shm.releaseIdle(); }

private:
    QImage readThroughReply(xcb_drawable_t drawable, const QRect& area, xcb_visualid_t visual);

    xcb_connection_t* m_connection;
    ShmPool m_shm;
};

}
