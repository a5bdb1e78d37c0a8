// Shared-memory wl_buffers holding premultiplied ARGB pixels: one-off buffers for images painted
// once, and a pool whose buffers the overlay paints into in place, frame after frame.
#pragma once

#include <QImage>

#include <memory>
#include <vector>

struct wl_shm;
struct wl_buffer;

namespace tavelin::wayland::overlay {

// Hands the image's pixels to a new buffer; null when memory cannot be had. The buffer frees
// itself when the compositor releases it.
wl_buffer* createShmBuffer(wl_shm* shm, const QImage& image);

// Buffers kept mapped and used again once the compositor releases them: no new memory to fault in
// and no copy per frame, which a resize drag redrawing on every motion would pay each time.
class ShmPool {
public:
    explicit ShmPool(wl_shm* shm);
    ~ShmPool();
    ShmPool(const ShmPool&) = delete;
    ShmPool& operator=(const ShmPool&) = delete;

    struct Slot {
        wl_buffer* buffer = nullptr;
        QImage image; // the buffer's own pixels
        bool held = false; // by the compositor, or by the caller until attached
    };
    // A buffer of that size nobody holds, marked held; null when memory cannot be had. Attach it
    // before the next take.
    Slot* take(int width, int height);

private:
    wl_shm* m_shm;
    std::vector<std::unique_ptr<Slot>> m_slots;
};

}
