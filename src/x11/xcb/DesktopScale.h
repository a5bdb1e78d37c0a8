// X11 counts device pixels, the core counts Qt's logical pixels: the one place that converts.
#pragma once

#include "core/Geometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace tavelin::x11::xcb {

// Device pixels per logical pixel. Qt scales every screen of an X11 desktop by the same factor
// (from Xft.dpi or QT_SCALE_FACTOR), so the primary screen's ratio serves the whole root.
inline double deviceScale()
{
    auto* screen = QGuiApplication::primaryScreen();
    double ratio = screen ? screen->devicePixelRatio() : 1.0;
    return ratio > 0 ? ratio : 1.0;
}

inline core::Point toPoints(core::Point devicePixels)
{
    double s = deviceScale();
    return { devicePixels.x / s, devicePixels.y / s };
}

inline core::Rect toPoints(core::Rect devicePixels)
{
    double s = deviceScale();
    return { devicePixels.x / s, devicePixels.y / s, devicePixels.width / s, devicePixels.height / s };
}

inline core::Rect toDevicePixels(core::Rect points)
{
    double s = deviceScale();
    return { points.x * s, points.y * s, points.width * s, points.height * s };
}

}
