// The steps every layer surface of ours shares: covering an output on the overlay layer, letting
// clicks through, showing an image, and going.
#pragma once

#include "core/Geometry.h"

#include <QImage>

struct wl_surface;
struct wl_output;
struct zwlr_layer_surface_v1;
struct zwlr_layer_surface_v1_listener;

namespace tavelin::core {
class TavelinView;
}
namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::overlay {

// A layer surface for surface on the overlay layer of output (null: the compositor's choice),
// anchored to all edges, over panels, never taking the keyboard. Commit to have it configured.
zwlr_layer_surface_v1* coverOutput(wl::WaylandConnection& connection, wl_surface* surface, wl_output* output,
    const char* name);

// Narrows layer to part of its output (in the output's points): anchored top-left, sized, set in by margins.
void placeOnOutput(zwlr_layer_surface_v1* layer, const core::Rect& part);

// A new surface covering output as coverOutput does (or only part of it), heard by listener with data,
// click-through, committed without a buffer so that the compositor configures it.
void openLayerSurface(wl::WaylandConnection& connection, wl_output* output, const char* name,
    const zwlr_layer_surface_v1_listener* listener, void* data, wl_surface*& surface, zwlr_layer_surface_v1*& layer,
    const core::Rect* part = nullptr);
// Destroys both (either may be null already) and sends that at once.
void closeLayerSurface(wl::WaylandConnection& connection, wl_surface*& surface, zwlr_layer_surface_v1*& layer);

// An empty input region: every click goes to what lies below.
void letClicksThrough(wl::WaylandConnection& connection, wl_surface* surface);

class ShmPool;

// Attaches image (pixels at scale per point) to surface, damaged whole, not yet committed;
// false when no buffer could be had.
bool attachImage(wl::WaylandConnection& connection, wl_surface* surface, const QImage& image, int scale);
// The same for view drawn at points, painted in place into one of pool's buffers.
bool attachView(wl::WaylandConnection& connection, wl_surface* surface, ShmPool& pool, core::TavelinView& view,
    core::Size points, int scale);

}
