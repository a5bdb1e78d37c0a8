// Reading the pixels of a window or pixmap with GetImage into a QImage.
#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

namespace tavelin::x11 {

// The area of drawable as a QImage, or a null image when the drawable is gone, the area lies
// outside it, or its pixel format is one we do not read. visual names the channel layout: a
// pixmap has none of its own, so the caller passes that of the window it belongs to.
QImage readDrawable(xcb_connection_t* connection, xcb_drawable_t drawable, const QRect& area,
    xcb_visualid_t visual);

}
