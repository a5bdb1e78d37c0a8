// A top-level of ours that floats over the desktop: the common ground of the overlay and the flash.
#include "x11/overlay/FloatingWidget.h"

#include "shared/OwnWindows.h"

#include <QEvent>
#include <QWindow>

#include <cassert>
#include <cmath>

namespace tavelin::x11::overlay {

namespace {

// The smallest whole-pixel rectangle holding frame (edges rounded outward past a hair's width).
QRect coveringRect(const core::Rect& frame)
{
    auto low = [](double v) { return int(std::floor(v + 1e-6)); };
    auto high = [](double v) { return int(std::ceil(v - 1e-6)); };
    auto finite = [](double v) { return std::isfinite(v) ? std::clamp(v, -1e6, 1e6) : 0.0; };
    int left = low(finite(frame.x));
    int top = low(finite(frame.y));
    int right = high(finite(frame.x + frame.width));
    int bottom = high(finite(frame.y + frame.height));
    return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

}

FloatingWidget::FloatingWidget(xcb::X11Connection& x11, const QString& title, const core::Rect& frame)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::WindowTransparentForInput)
    , m_atoms(x11)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFrame(frame);
    m_windowId = uint32_t(winId());
    shared::registerOwnTopLevel(m_windowId);
    windowHandle()->installEventFilter(this);
}

FloatingWidget::~FloatingWidget() { shared::unregisterOwnTopLevel(m_windowId); }

// Hiding withdraws the window and the window manager forgets the hints, so every show starts by
// writing them again (on Qt's connection, ahead of Qt's map request).
void FloatingWidget::showOnTop()
{
    if (isVisible()) {
        raise();
        return;
    }
    overlay::setFloatingHintsBeforeMap(xcb::qtConnection(), m_atoms, m_windowId);
    m_inputShapeOwed = true;
    show();
    raise();
}

// The window is exposed once mapped, and the window manager maps it only after it has taken it
// in: now a change of the input shape reaches the manager, which gives its frame the same shape.
bool FloatingWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (m_inputShapeOwed && watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        m_inputShapeOwed = false;
        overlay::setInputPassThrough(xcb::qtConnection(), m_windowId, m_clickThrough);
    }
    return QWidget::eventFilter(watched, event);
}


void FloatingWidget::setFrame(const core::Rect& frame)
{
    m_frame = frame;
    QRect target = coveringRect(frame);
    if (geometry() == target)
        return;
    setGeometry(target);
}

// Same window, no unmap. QWindow's flag sets an input region (empty, or the window's size at
// that moment); the default shape set after it is the whole window at any later size too.
void FloatingWidget::setClickThrough(bool clickThrough)
{
    m_clickThrough = clickThrough;
    assert(windowHandle());
    windowHandle()->setFlag(Qt::WindowTransparentForInput, clickThrough);
    overlay::setInputPassThrough(xcb::qtConnection(), m_windowId, clickThrough);
}

}
