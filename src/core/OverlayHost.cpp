// Creating, showing, hiding and placing the grid's overlay window.
#include "core/OverlayHost.h"

namespace tavelin::core {

OverlayHost::~OverlayHost()
{
    // The window goes before the view it hosts, which unsubscribes from the state.
    m_window.reset();
    m_view.reset();
}

void OverlayHost::create(const Rect& frame)
{
    m_view = std::make_unique<TavelinView>(m_state);
    m_window = m_platform.createOverlayWindow(frame, *m_view);
    if (!m_window) {
        m_view.reset();
        return;
    }
    auto* window = m_window.get();
    m_view->setUpdateHandler([window] { window->update(); });
    window->setClickThrough(true);
    window->show();
}

void OverlayHost::show()
{
    if (m_window && m_targetShown)
        m_window->show();
}

void OverlayHost::setTargetShown(bool shown)
{
    if (shown == m_targetShown)
        return;
    m_targetShown = shown;
    if (!shown)
        hide();
}

void OverlayHost::hide()
{
    if (m_window)
        m_window->hide();
}

void OverlayHost::setClickThrough(bool clickThrough)
{
    if (m_window)
        m_window->setClickThrough(clickThrough);
}

void OverlayHost::place(const Rect& frame)
{
    if (m_window)
        m_window->setFrame(frame);
    changed();
}

std::optional<Rect> OverlayHost::frame() const
{
    if (m_window)
        return m_window->frame();
    return std::nullopt;
}

void OverlayHost::restoreAfterPick()
{
    if (!m_window || !m_state.isVisible())
        return;
    m_window->setClickThrough(!m_state.isAdjusting());
    show();
}

void OverlayHost::changed()
{
    if (m_changed)
        m_changed();
}

}
