// MIT-SHM segments the server writes images into, kept for reuse and shared with the QImages made of them.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QRect>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavelin::x11::capture {

// One System V segment, attached to the server while its pool holds it. Its memory stays mapped
// here until the last image made of it is gone.
struct ShmSegment {
    ShmSegment() = default;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;
    ~ShmSegment();

    uint8_t* memory = nullptr;
    size_t size = 0;
    xcb_shm_seg_t id = 0;
};

class ShmPool {
public:
    explicit ShmPool(xcb_connection_t* connection);
    ~ShmPool();
    ShmPool(const ShmPool&) = delete;
    ShmPool& operator=(const ShmPool&) = delete;

    bool isAvailable() const { return m_available; }

    struct Pixels {
        std::shared_ptr<ShmSegment> segment; // null when the read failed
        uint8_t depth = 0;
        xcb_visualid_t visual = 0;
        size_t bytes = 0; // written by the server
    };

    // ShmGetImage of area of drawable in ZPixmap format, expected to take bytes bytes.
    Pixels read(xcb_drawable_t drawable, const QRect& area, size_t bytes);

    // A segment of at least bytes to write pixels into for ShmPutImage; null when none can be had.
    std::shared_ptr<ShmSegment> writable(size_t bytes) { return m_available ? segmentFor(bytes) : nullptr; }

    // Gives the kept segment back to the system unless an image still uses it.
    void releaseIdle();

private:
    std::shared_ptr<ShmSegment> segmentFor(size_t bytes);
    void release();

    xcb_connection_t* m_connection = nullptr;
    bool m_available = false;
    std::shared_ptr<ShmSegment> m_segment; // attached to the server
};

}
