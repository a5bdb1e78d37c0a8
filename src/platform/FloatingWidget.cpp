// A top-level of ours that floats over the desktop: the common ground of the overlay and the flash.
#include "FloatingWidget.h"

#include "OverlayWidget.h"

#include <QWindow>

#include <cassert>
#include <cmath>

namespace tavelin::qt {

namespace {

// The smallest whole-pixel rectangle holding frame (edges rounded outward past a hair's width).
QRect coveringRect(const Rect& frame)
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

FloatingWidget::FloatingWidget(x11::X11Connection& x11, const QString& title, const Rect& frame)
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
    registerOwnTopLevel(m_windowId);
}

FloatingWidget::~FloatingWidget() { unregisterOwnTopLevel(m_windowId); }

// Hiding withdraws the window and the window manager forgets the hints, so every show starts by
// writing them again (on Qt's connection, ahead of Qt's map request).
void FloatingWidget::orderFront()
{
    if (isVisible()) {
        raise();
        return;
    }
    x11::setFloatingHintsBeforeMap(x11::qtConnection(), m_atoms, m_windowId);
    show();
    raise();
}

void FloatingWidget::orderOut() { hide(); }

void FloatingWidget::setFrame(const Rect& frame)
{
    m_frame = frame;
    QRect target = coveringRect(frame);
    if (geometry() == target)
        return;
    setGeometry(target);
    // Taking the mouse gave the window an input region of its size at that moment: renew it.
    if (!m_clickThrough && windowHandle()) {
        windowHandle()->setFlag(Qt::WindowTransparentForInput, true);
        windowHandle()->setFlag(Qt::WindowTransparentForInput, false);
    }
}

// Same window, no unmap: QWindow's flag sets the XFixes input region (empty or whole window).
void FloatingWidget::setClickThrough(bool clickThrough)
{
    m_clickThrough = clickThrough;
    assert(windowHandle());
    windowHandle()->setFlag(Qt::WindowTransparentForInput, clickThrough);
}

}
