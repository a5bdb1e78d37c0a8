// The steps every layer surface of ours shares: covering an output on the overlay layer, letting
// clicks through, and showing an image.
#pragma once

#include <QImage>

struct wl_surface;
struct wl_output;
struct zwlr_layer_surface_v1;

namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::overlay {

// A layer surface for surface on the overlay layer of output (null: the compositor's choice),
// anchored to all edges, over panels, never taking the keyboard. Commit to have it configured.
zwlr_layer_surface_v1* coverOutput(wl::WaylandConnection& connection, wl_surface* surface, wl_output* output,
    const char* name);

// An empty input region: every click goes to what lies below.
void letClicksThrough(wl::WaylandConnection& connection, wl_surface* surface);

// Attaches image (pixels at scale per point) to surface, damaged whole, not yet committed;
// false when no buffer could be had.
bool attachImage(wl::WaylandConnection& connection, wl_surface* surface, const QImage& image, int scale);

}
