// One output's pixels as the compositor last composed them, through the screencopy protocol.
#pragma once

#include <QImage>

#include <string>

struct wl_output;

namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::capture {

// Waits for the output's next frame (a few seconds at most) and returns it opaque, upright, at the
// output's pixel size; null with failure saying why when the compositor offers no screencopy or fails.
QImage copyOutput(wl::WaylandConnection& connection, wl_output* output, std::string& failure);

}
