// A memfd per buffer: the overlay redraws only on change, so there is no pool worth keeping.
#include "wayland/overlay/ShmBuffer.h"

#include <wayland-client.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace tavelin::wayland::overlay {

namespace {
void onRelease(void*, wl_buffer* buffer) { wl_buffer_destroy(buffer); }
const wl_buffer_listener bufferListener = { onRelease };
}

wl_buffer* createShmBuffer(wl_shm* shm, const QImage& source)
{
    // ARGB8888 is ARGB32 premultiplied in the machine's byte order, as QImage keeps it.
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int stride = image.width() * 4;
    size_t size = size_t(stride) * image.height();
    int fd = memfd_create("tavelin-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(static_cast<uint8_t*>(memory) + size_t(y) * stride, image.constScanLine(y), size_t(stride));
    munmap(memory, size);
    auto* pool = wl_shm_create_pool(shm, fd, int32_t(size));
    auto* buffer = wl_shm_pool_create_buffer(pool, 0, image.width(), image.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(buffer, &bufferListener, nullptr);
    return buffer;
}

}
