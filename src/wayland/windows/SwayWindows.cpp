// Asking sway for its tree and hearing of window and workspace changes.
#include "wayland/windows/SwayWindows.h"

#include "wayland/windows/SwayTree.h"

namespace tavelin::wayland::windows {

SwayWindows::SwayWindows(QString socketPath)
    : m_socketPath(std::move(socketPath))
{
}

std::vector<Window> SwayWindows::windows()
{
    // A connection lost (sway restarted, a broken reply) is made again on the next question.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_requests || !m_requests->usable())
            m_requests = std::make_unique<I3Connection>(m_socketPath);
        if (auto reply = m_requests->request(i3::getTree, {}))
            return parseSwayTree(*reply);
        m_requests.reset();
    }
    return {};
}

void SwayWindows::watch(std::function<void()> changed)
{
    m_events = std::make_unique<I3Connection>(m_socketPath);
    if (!m_events->subscribe(R"(["window","workspace"])")) {
        m_events.reset();
        return;
    }
    QObject::connect(m_events.get(), &I3Connection::event, m_events.get(),
        [changed = std::move(changed)](uint32_t, const QByteArray&) { changed(); });
}

}
