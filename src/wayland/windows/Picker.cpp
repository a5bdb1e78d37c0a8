// One pick's life: the catcher up, the press passed on, the catcher gone after the release.
#include "wayland/windows/Picker.h"

#include "wayland/wl/WaylandConnection.h"

#include <QTimer>

#include <utility>

namespace tavelin::wayland::windows {

Picker::Picker(wl::WaylandConnection& connection)
    : m_connection(connection)
{
}

Picker::~Picker() = default;

core::WatchId Picker::start(core::WatchId id, std::function<void(core::Point)> onClick, std::function<void()> onFailed)
{
    if (m_connection.outputs().empty())
        return 0;
    stop(m_pending);
    retire();
    m_pending = id;
    m_onClick = std::move(onClick);
    m_onFailed = std::move(onFailed);
    m_catcher = std::make_unique<ClickCatcher>(m_connection,
        [this, id](core::Point at) {
            if (m_pending != id)
                return;
            m_pending = 0;
            m_onFailed = nullptr;
            std::exchange(m_onClick, nullptr)(at);
        },
        [this, id] {
            if (m_pending == id) {
                m_pending = 0;
                m_onClick = nullptr;
                if (auto failed = std::exchange(m_onFailed, nullptr))
                    QTimer::singleShot(0, &m_context, std::move(failed));
            }
            retire();
        });
    return id;
}

// After its press the catcher stays until the release, whoever stops watching meanwhile.
bool Picker::stop(core::WatchId id)
{
    if (!id || id != m_pending)
        return false;
    m_pending = 0;
    m_onClick = nullptr;
    m_onFailed = nullptr;
    retire();
    return true;
}

// The catcher may be the one calling: it goes on the event loop, not inside its own handler.
void Picker::retire()
{
    if (!m_catcher)
        return;
    std::shared_ptr<ClickCatcher> gone(std::move(m_catcher));
    QTimer::singleShot(0, &m_context, [gone] { });
}

}
