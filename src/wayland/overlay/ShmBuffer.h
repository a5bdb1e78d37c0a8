// One shared-memory wl_buffer holding a premultiplied ARGB image, destroyed once the compositor
// releases it.
#pragma once

#include <QImage>

struct wl_shm;
struct wl_buffer;

namespace tavelin::wayland::overlay {

// Hands the image's pixels to a new buffer; null when memory cannot be had. The buffer frees
// itself when the compositor releases it.
wl_buffer* createShmBuffer(wl_shm* shm, const QImage& image);

}
