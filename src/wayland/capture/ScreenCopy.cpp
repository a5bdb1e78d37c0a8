// The capture runs on an event queue of its own, so waiting for it dispatches nothing else of ours
// (the overlay's events wait for the Qt loop as usual).
#include "wayland/capture/ScreenCopy.h"

#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-screencopy-unstable-v1-client.h"

#include <wayland-client.h>

#include <QTransform>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace tavelin::wayland::capture {

namespace {

constexpr int answerTimeoutMs = 5000;

struct Frame {
    uint32_t format = 0, width = 0, height = 0, stride = 0;
    uint32_t flags = 0;
    bool offered = false, ready = false, failed = false;
};

Frame& frameOf(void* data) { return *static_cast<Frame*>(data); }

void onBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
{
    auto& f = frameOf(data);
    f = { format, width, height, stride, f.flags, true, f.ready, f.failed };
}
void onFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) { frameOf(data).flags = flags; }
void onReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { frameOf(data).ready = true; }
void onFailed(void* data, zwlr_screencopy_frame_v1*) { frameOf(data).failed = true; }
const zwlr_screencopy_frame_v1_listener frameListener = { onBuffer, onFlags, onReady, onFailed };

// Dispatches queue until done() holds; false when the connection fails or the compositor is silent.
bool dispatchUntil(wl_display* display, wl_event_queue* queue, const std::function<bool()>& done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerTimeoutMs);
    while (!done()) {
        if (wl_display_prepare_read_queue(display, queue) != 0) {
            if (wl_display_dispatch_queue_pending(display, queue) < 0)
                return false;
            continue;
        }
        wl_display_flush(display);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd { wl_display_get_fd(display), POLLIN, 0 };
        int ready = left.count() > 0 ? poll(&fd, 1, int(left.count())) : 0;
        if (ready <= 0) {
            wl_display_cancel_read(display);
            // A signal (SIGTERM asks to quit once the shot is done) cuts the wait short, not the capture.
            if (ready < 0 && errno == EINTR)
                continue;
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_queue_pending(display, queue) < 0)
            return false;
    }
    return true;
}

// The four 32-bit formats a compositor offers for shm; anything else we cannot read.
bool readable(uint32_t format)
{
    return format == WL_SHM_FORMAT_ARGB8888 || format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ABGR8888
        || format == WL_SHM_FORMAT_XBGR8888;
}

// The frame's pixels as opaque RGB32: an output has no transparency, whatever its padding byte holds.
QImage toImage(const uint8_t* pixels, const Frame& f)
{
    QImage image(int(f.width), int(f.height), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    bool invert = f.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
    for (uint32_t y = 0; y < f.height; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(pixels + size_t(invert ? f.height - 1 - y : y) * f.stride);
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(int(y)));
        for (uint32_t x = 0; x < f.width; ++x)
            out[x] = row[x] | 0xff000000u;
    }
    // ABGR and XBGR words hold red in the low byte.
    if (f.format == WL_SHM_FORMAT_ABGR8888 || f.format == WL_SHM_FORMAT_XBGR8888)
        image = std::move(image).rgbSwapped();
    return image;
}

// The frame as the layout shows it. The compositor copies the output's pixels as they go to the
// device, which wl_output.transform turned against the layout (quarter turns counter-clockwise,
// flipped around the vertical axis first for 4 to 7): undone here, the flip last.
QImage upright(QImage image, int transform)
{
    if (transform & 3)
        image = image.transformed(QTransform().rotate(90 * (transform & 3)));
    if (transform & 4)
        image = std::move(image).mirrored(true, false);
    return image;
}

// The shared memory the compositor copies into, unmapped and closed when it goes.
struct Memory {
    int fd = -1;
    void* data = MAP_FAILED;
    size_t size = 0;
    ~Memory()
    {
        if (data != MAP_FAILED)
            munmap(data, size);
        if (fd >= 0)
            close(fd);
    }
    bool allocate(size_t bytes)
    {
        size = bytes;
        fd = memfd_create("tavelin-capture", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0)
            return false;
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        return data != MAP_FAILED;
    }
};

}

QImage copyOutput(wl::WaylandConnection& connection, wl_output* output, std::string& failure, const QRect* region)
{
    if (!connection.screencopy() || !output) {
        failure = "this compositor offers no screen capture (screencopy)";
        return {};
    }
    auto* display = connection.display();
    auto* queue = wl_display_create_queue(display);
    // The frame is born on our queue: its first events cannot reach the main queue.
    auto* manager = static_cast<zwlr_screencopy_manager_v1*>(wl_proxy_create_wrapper(connection.screencopy()));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(manager), queue);
    auto* proxy = region ? zwlr_screencopy_manager_v1_capture_output_region(manager, 0, output, region->x(),
                               region->y(), region->width(), region->height())
                         : zwlr_screencopy_manager_v1_capture_output(manager, 0, output);
    wl_proxy_wrapper_destroy(manager);
    Frame frame;
    zwlr_screencopy_frame_v1_add_listener(proxy, &frameListener, &frame);

    QImage image;
    Memory memory;
    wl_buffer* buffer = nullptr;
    failure = "the compositor did not answer the capture";
    if (dispatchUntil(display, queue, [&] { return frame.offered || frame.failed; }) && !frame.failed) {
        if (!readable(frame.format) || frame.stride < frame.width * 4) {
            failure = "the compositor offers the screen in a pixel format Tavelin cannot read";
        } else if (size_t(frame.stride) * frame.height > size_t(INT32_MAX)) {
            failure = "the screen is too large to capture (a shared-memory pool holds at most 2 GiB)";
        } else if (!memory.allocate(size_t(frame.stride) * frame.height)) {
            failure = "no memory for the capture";
        } else {
            auto* pool = wl_shm_create_pool(connection.shm(), memory.fd, int32_t(memory.size));
            buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(frame.width), int32_t(frame.height),
                int32_t(frame.stride), frame.format);
            wl_shm_pool_destroy(pool);
            zwlr_screencopy_frame_v1_copy(proxy, buffer);
            if (dispatchUntil(display, queue, [&] { return frame.ready || frame.failed; }) && frame.ready)
                image = toImage(static_cast<const uint8_t*>(memory.data), frame);
        }
    }
    if (frame.failed)
        failure = "the compositor could not capture the screen";
    else if (wl_display_get_error(display) != 0)
        failure = "the Wayland compositor closed the connection";
    zwlr_screencopy_frame_v1_destroy(proxy);
    if (buffer)
        wl_buffer_destroy(buffer);
    wl_display_flush(display);
    wl_event_queue_destroy(queue);
    if (image.isNull())
        return image;
    failure.clear();
    auto* described = connection.outputFor(output);
    return upright(std::move(image), described ? described->transform : 0);
}

}
