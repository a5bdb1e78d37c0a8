// memfd-backed buffers: created per image, or pooled and painted in place.
#include "wayland/overlay/ShmBuffer.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace tavelin::wayland::overlay {

namespace {

void onRelease(void*, wl_buffer* buffer) { wl_buffer_destroy(buffer); }
const wl_buffer_listener bufferListener = { onRelease };

void onPooledRelease(void* data, wl_buffer*) { static_cast<ShmPool::Slot*>(data)->held = false; }
const wl_buffer_listener pooledListener = { onPooledRelease };

// A mapped memfd of size bytes and a buffer over it; null when memory cannot be had.
wl_buffer* mappedBuffer(wl_shm* shm, int width, int height, void*& memory)
{
    int stride = width * 4;
    size_t size = size_t(stride) * height;
    int fd = memfd_create("tavelin-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return nullptr;
    }
    memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto* pool = wl_shm_create_pool(shm, fd, int32_t(size));
    // ARGB8888 is ARGB32 premultiplied in the machine's byte order, as QImage keeps it.
    auto* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void unmap(const QImage& image) { munmap(const_cast<uchar*>(image.constBits()), size_t(image.sizeInBytes())); }

}

wl_buffer* createShmBuffer(wl_shm* shm, const QImage& source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    void* memory = nullptr;
    auto* buffer = mappedBuffer(shm, image.width(), image.height(), memory);
    if (!buffer)
        return nullptr;
    size_t stride = size_t(image.width()) * 4;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(static_cast<uint8_t*>(memory) + y * stride, image.constScanLine(y), stride);
    munmap(memory, stride * image.height());
    wl_buffer_add_listener(buffer, &bufferListener, nullptr);
    return buffer;
}

ShmPool::ShmPool(wl_shm* shm)
    : m_shm(shm)
{
}

ShmPool::~ShmPool()
{
    for (auto& slot : m_slots) {
        wl_buffer_destroy(slot->buffer);
        unmap(slot->image);
    }
}

ShmPool::Slot* ShmPool::take(int width, int height)
{
    // Free buffers of another size belong to an earlier output size: gone, as new ones come.
    std::erase_if(m_slots, [&](const std::unique_ptr<Slot>& slot) {
        if (slot->held || slot->image.size() == QSize(width, height))
            return false;
        wl_buffer_destroy(slot->buffer);
        unmap(slot->image);
        return true;
    });
    auto free = std::find_if(m_slots.begin(), m_slots.end(), [](auto& slot) { return !slot->held; });
    if (free != m_slots.end()) {
        (*free)->held = true;
        return free->get();
    }
    void* memory = nullptr;
    auto* buffer = mappedBuffer(m_shm, width, height, memory);
    if (!buffer)
        return nullptr;
    auto slot = std::make_unique<Slot>();
    slot->buffer = buffer;
    slot->image = QImage(static_cast<uchar*>(memory), width, height, width * 4, QImage::Format_ARGB32_Premultiplied);
    slot->held = true;
    wl_buffer_add_listener(buffer, &pooledListener, slot.get());
    m_slots.push_back(std::move(slot));
    return m_slots.back().get();
}

}
