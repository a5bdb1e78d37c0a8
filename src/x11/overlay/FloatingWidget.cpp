// A top-level of ours that floats over the desktop: the common ground of the overlay and the flash.
#include "x11/overlay/FloatingWidget.h"

#include "shared/OwnWindows.h"
#include "x11/overlay/FloatingHints.h"
#include "x11/overlay/StackKeeper.h"

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

// Override-redirect (BypassWindowManagerHint): no window manager places, frames, tiles, moves or
// hides it on another desktop; it lies exactly where it is put. Keeping it on top is then ours.
FloatingWidget::FloatingWidget(const QString& title, const core::Rect& frame, int rank)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus
            | Qt::WindowTransparentForInput)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFrame(frame);
    m_windowId = uint32_t(winId());
    shared::registerOwnTopLevel(m_windowId);
    StackKeeper::instance().keep(m_windowId, rank);
}

FloatingWidget::~FloatingWidget()
{
    StackKeeper::instance().release(m_windowId);
    shared::unregisterOwnTopLevel(m_windowId);
}

// Raised on top of everything, then put back right above the topmost managed window, under the
// popups of others (menus, tooltips) that may lie above it.
void FloatingWidget::showOnTop()
{
    show();
    raise();
    xcb::flushQtConnection();
    StackKeeper::instance().restackNow();
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
