// The overlay window hosting the view, the screenshot flash, and the registry of our own top-levels.
#include "OverlayWidget.h"

#include "FloatingWidget.h"
#include "QPainterCanvas.h"
#include "TavelinView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <unordered_map>

namespace tavelin::qt {

namespace {

constexpr auto overlayTitle = "Tavelin Overlay";
constexpr auto flashTitle = "Tavelin Flash";

// Counted, so an id the X server hands out again after one of ours was destroyed stays right.
std::unordered_map<uint32_t, int>& ownTopLevels()
{
    static std::unordered_map<uint32_t, int> ids;
    return ids;
}

class OverlaySurface final : public FloatingWidget {
public:
    OverlaySurface(x11::X11Connection& x11, const Rect& frame, TavelinView& view)
        : FloatingWidget(x11, QString::fromLatin1(overlayTitle), frame)
        , m_view(view)
    {
    }

protected:
    // Repaints everything from the view: it has no notion of partial updates.
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QPainterCanvas canvas(painter);
        canvas.clear();
        m_view.draw(canvas, { double(width()), double(height()) });
    }

    // Only the left button drags; the events arrive only while the window takes the mouse.
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_view.mousePressed(viewPoint(event));
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_view.mouseMoved(viewPoint(event));
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_view.mouseReleased(viewPoint(event));
    }

private:
    static Point viewPoint(const QMouseEvent* event) { return { event->position().x(), event->position().y() }; }

    TavelinView& m_view;
};

class FlashSurface final : public FloatingWidget {
public:
    FlashSurface(x11::X11Connection& x11, const Rect& frame)
        : FloatingWidget(x11, QString::fromLatin1(flashTitle), frame)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), QColor::fromRgbF(1, 1, 1, 0.3f));
    }
};

class QtOverlayWindow final : public OverlayWindow {
public:
    QtOverlayWindow(x11::X11Connection& x11, const Rect& frame, TavelinView& view)
        : m_surface(x11, frame, view)
    {
    }

    void setIgnoresMouseEvents(bool ignores) override { m_surface.setClickThrough(ignores); }
    void orderFront() override { m_surface.orderFront(); }
    void orderOut() override { m_surface.orderOut(); }
    void setFrame(const Rect& frame) override { m_surface.setFrame(frame); }
    Rect frame() const override { return m_surface.frame(); }
    uint32_t windowNumber() const override { return m_surface.windowId(); }
    // QWidget::update posts one paint event however often it is called before the paint.
    void setNeedsDisplay() override { m_surface.update(); }

private:
    OverlaySurface m_surface;
};

class QtFlashWindow final : public FlashWindow {
public:
    QtFlashWindow(x11::X11Connection& x11, const Rect& frame)
        : m_surface(x11, frame)
    {
    }

    void orderFront() override { m_surface.orderFront(); }
    void orderOut() override { m_surface.orderOut(); }

private:
    FlashSurface m_surface;
};

}

std::unique_ptr<OverlayWindow> createOverlayWidget(x11::X11Connection& x11, const Rect& frame, TavelinView& view)
{
    return std::make_unique<QtOverlayWindow>(x11, frame, view);
}

std::unique_ptr<FlashWindow> createFlashWidget(x11::X11Connection& x11, const Rect& frame)
{
    return std::make_unique<QtFlashWindow>(x11, frame);
}

void registerOwnTopLevel(uint32_t windowId)
{
    if (windowId)
        ++ownTopLevels()[windowId];
}

void unregisterOwnTopLevel(uint32_t windowId)
{
    auto it = ownTopLevels().find(windowId);
    if (it != ownTopLevels().end() && --it->second <= 0)
        ownTopLevels().erase(it);
}

bool isOwnTopLevel(uint32_t windowId) { return windowId && ownTopLevels().contains(windowId); }

}
