// Asking Hyprland for its windows (one connection per request, as its socket wants) and reading
// its event lines.
#include "wayland/windows/HyprlandWindows.h"

#include "wayland/windows/HyprlandReplies.h"

namespace tavelin::wayland::windows {

namespace {
constexpr int replyWaitMs = 2000;
constexpr int defaultBorder = 2;
}

HyprlandWindows::HyprlandWindows(QString folder)
    : m_folder(std::move(folder))
{
}

std::optional<QByteArray> HyprlandWindows::request(const QByteArray& command)
{
    QLocalSocket socket;
    socket.connectToServer(m_folder + "/.socket.sock");
    if (!socket.waitForConnected(replyWaitMs))
        return std::nullopt;
    socket.write(command);
    socket.flush();
    QByteArray reply;
    // The reply ends when Hyprland closes the connection.
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(replyWaitMs))
        reply += socket.readAll();
    reply += socket.readAll();
    return reply;
}

std::vector<Window> HyprlandWindows::windows()
{
    if (m_border < 0)
        if (auto option = request("j/getoption general:border_size"))
            m_border = parseHyprlandOption(*option, defaultBorder);
    auto clients = request("j/clients");
    auto monitors = clients ? request("j/monitors") : std::nullopt;
    if (!monitors)
        return {};
    return parseHyprlandClients(*clients, *monitors, std::max(m_border, 0));
}

void HyprlandWindows::watch(std::function<void()> changed)
{
    m_events = std::make_unique<QLocalSocket>();
    auto* socket = m_events.get();
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, changed = std::move(changed)] {
        bool relevant = false;
        while (socket->canReadLine())
            relevant |= isHyprlandWindowEvent(socket->readLine().trimmed());
        if (relevant)
            changed();
    });
    socket->connectToServer(m_folder + "/.socket2.sock");
}

}
