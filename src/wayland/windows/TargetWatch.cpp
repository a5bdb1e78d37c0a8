// The compositor's reports passed on, and the per-frame look where they are not enough.
#include "wayland/windows/TargetWatch.h"

#include <utility>

namespace tavelin::wayland::windows {

namespace {
constexpr int framePeriodMs = 16;

bool same(const std::optional<Window>& a, const std::optional<Window>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->frame == b->frame && a->shown == b->shown;
}
}

TargetWatch::TargetWatch(WindowSource& source)
    : m_source(source)
{
    m_source.watch([this] { tell(); });
    m_frames.setInterval(framePeriodMs);
    m_frames.callOnTimeout(&m_context, [this] { look(); });
}

void TargetWatch::start(core::WatchId id, uint32_t window, std::function<void()> changed)
{
    m_id = id;
    m_window = window;
    m_changed = std::move(changed);
    m_last.reset();
    if (!m_source.reportsMoves())
        m_frames.start();
    QTimer::singleShot(0, &m_context, [this, id] {
        if (m_id == id)
            tell();
    });
}

bool TargetWatch::stop(core::WatchId id)
{
    if (!id || id != m_id)
        return false;
    m_id = 0;
    m_changed = nullptr;
    m_frames.stop();
    return true;
}

// The core reads the window again; what it read is where the next look starts from.
void TargetWatch::tell()
{
    if (!m_id)
        return;
    if (m_frames.isActive())
        m_last = m_source.window(m_window);
    m_changed();
}

void TargetWatch::look()
{
    auto now = m_source.window(m_window);
    if (same(now, m_last))
        return;
    m_last = now;
    if (m_id)
        m_changed();
}

}
