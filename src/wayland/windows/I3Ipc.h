// The i3 IPC protocol that sway speaks on $SWAYSOCK: message framing, and a connection that asks
// (blocking, replies come at once) or listens to the events it subscribed to.
#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>

#include <cstdint>
#include <optional>
#include <string>

namespace tavelin::wayland::windows {

namespace i3 {
constexpr uint32_t getTree = 4;
constexpr uint32_t subscribe = 2;
constexpr uint32_t eventBit = 0x80000000u;
}

struct I3Message {
    uint32_t type = 0;
    QByteArray payload;
};

QByteArray encodeI3Message(uint32_t type, const QByteArray& payload);

// Cuts a byte stream into messages; a stream that does not start with the magic is broken for good.
class I3Frames {
public:
    void append(const QByteArray& bytes) { m_buffer += bytes; }
    std::optional<I3Message> next();
    bool broken() const { return m_broken; }

private:
    QByteArray m_buffer;
    bool m_broken = false;
};

class I3Connection final : public QObject {
    Q_OBJECT
public:
    // Connects at once; usable() says whether it worked.
    explicit I3Connection(const QString& socketPath);
    bool usable() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    // The reply to one request; none when the compositor does not answer in time.
    std::optional<QByteArray> request(uint32_t type, const QByteArray& payload);
    // From now on this connection carries only events (the reply to the subscription is dropped).
    bool subscribe(const QByteArray& eventsJson);

signals:
    void event(uint32_t type, const QByteArray& payload);

private:
    void readEvents();

    QLocalSocket m_socket;
    I3Frames m_frames;
};

}
