// MIT-SHM segments the server writes images into, kept for reuse and shared with the QImages made of them.
//
// A 4K screen is 33 MB. Through a GetImage reply it is copied three times (into the socket, out of
// it, into a fresh allocation whose pages fault in one by one); through a segment attached once
// the server writes it in place. A segment is reused while no image still points into it.
#include "x11/capture/ShmSegment.h"

#include "x11/xcb/XcbReplies.h"

#include <sys/ipc.h>
#include <sys/shm.h>

namespace tavelin::x11::capture {

ShmSegment::~ShmSegment()
{
    if (memory)
        shmdt(memory);
}

ShmPool::ShmPool(xcb_connection_t* connection)
    : m_connection(connection)
{
    if (!m_connection)
        return;
    const auto* extension = xcb_get_extension_data(m_connection, &xcb_shm_id);
    if (!extension || !extension->present)
        return;
    auto version = xcb::takeReply(m_connection, xcb_shm_query_version(m_connection), &xcb_shm_query_version_reply);
    m_available = version != nullptr;
}

ShmPool::~ShmPool() { release(); }

// Images made of the segment keep their memory mapped; the server lets go of it here.
void ShmPool::release()
{
    if (!m_segment)
        return;
    xcb_shm_detach(m_connection, m_segment->id);
    xcb_flush(m_connection);
    m_segment.reset();
}

void ShmPool::releaseIdle()
{
    if (m_segment && m_segment.use_count() == 1)
        release();
}

// A segment the server can reach (MIT-SHM Attach): a server of another user or on another machine
// refuses it, and reads go through replies from then on. The segment is marked for removal at
// once, so it goes away with its last user even if this process dies.
std::shared_ptr<ShmSegment> ShmPool::segmentFor(size_t bytes)
{
    if (m_segment && m_segment.use_count() == 1 && m_segment->size >= bytes)
        return m_segment;
    release();
    int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* memory = shmat(id, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    auto segment = std::make_shared<ShmSegment>();
    segment->memory = static_cast<uint8_t*>(memory);
    segment->size = bytes;
    segment->id = xcb_generate_id(m_connection);
    xcb_generic_error_t* error = xcb_request_check(m_connection,
        xcb_shm_attach_checked(m_connection, segment->id, uint32_t(id), 0));
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        free(error);
        m_available = false;
        return nullptr;
    }
    m_segment = segment;
    return segment;
}

ShmPool::Pixels ShmPool::read(xcb_drawable_t drawable, const QRect& area, size_t bytes)
{
    if (!m_available || area.isEmpty())
        return {};
    auto segment = segmentFor(bytes);
    if (!segment)
        return {};
    auto cookie = xcb_shm_get_image(m_connection, drawable, int16_t(area.x()), int16_t(area.y()),
        uint16_t(area.width()), uint16_t(area.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id, 0);
    auto reply = xcb::takeReply(m_connection, cookie, &xcb_shm_get_image_reply);
    if (!reply || reply->size > segment->size)
        return {};
    return { segment, reply->depth, reply->visual, reply->size };
}

}
