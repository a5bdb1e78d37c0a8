// Framing i3 IPC messages and talking to sway over its socket.
#include "wayland/windows/I3Ipc.h"

#include <cstring>

namespace tavelin::wayland::windows {

namespace {
constexpr char magic[] = "i3-ipc";
constexpr int magicSize = 6;
constexpr int headerSize = magicSize + 8;
constexpr int replyWaitMs = 2000;

uint32_t readU32(const char* p)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof value); // native byte order, as the protocol has it
    return value;
}
}

QByteArray encodeI3Message(uint32_t type, const QByteArray& payload)
{
    QByteArray out(magic, magicSize);
    uint32_t size = uint32_t(payload.size());
    out.append(reinterpret_cast<const char*>(&size), 4);
    out.append(reinterpret_cast<const char*>(&type), 4);
    return out + payload;
}

std::optional<I3Message> I3Frames::next()
{
    if (m_broken || m_buffer.size() < headerSize)
        return std::nullopt;
    if (std::memcmp(m_buffer.constData(), magic, magicSize) != 0) {
        m_broken = true;
        return std::nullopt;
    }
    uint32_t size = readU32(m_buffer.constData() + magicSize);
    if (qsizetype(size) > m_buffer.size() - headerSize)
        return std::nullopt;
    I3Message message { readU32(m_buffer.constData() + magicSize + 4), m_buffer.mid(headerSize, size) };
    m_buffer.remove(0, headerSize + qsizetype(size));
    return message;
}

I3Connection::I3Connection(const QString& socketPath)
{
    m_socket.connectToServer(socketPath);
    m_socket.waitForConnected(replyWaitMs);
}

std::optional<QByteArray> I3Connection::request(uint32_t type, const QByteArray& payload)
{
    if (!usable())
        return std::nullopt;
    m_socket.write(encodeI3Message(type, payload));
    m_socket.flush();
    for (;;) {
        auto message = m_frames.next();
        if (message && message->type == type)
            return message->payload;
        if (message)
            continue; // an event on a connection that asks: not ours to hear
        if (m_frames.broken() || !m_socket.waitForReadyRead(replyWaitMs))
            return std::nullopt;
        m_frames.append(m_socket.readAll());
    }
}

bool I3Connection::subscribe(const QByteArray& eventsJson)
{
    auto reply = request(i3::subscribe, eventsJson);
    if (!reply || !reply->contains("true"))
        return false;
    connect(&m_socket, &QLocalSocket::readyRead, this, &I3Connection::readEvents);
    readEvents(); // events may have come with the reply
    return true;
}

void I3Connection::readEvents()
{
    m_frames.append(m_socket.readAll());
    while (auto message = m_frames.next())
        if (message->type & i3::eventBit)
            emit event(message->type & ~i3::eventBit, message->payload);
}

}
