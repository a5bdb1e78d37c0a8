// The overlay's widget: paints the view translucent, or opaque in a window shaped to the painting.
#include "x11/overlay/OverlayWidget.h"

#include "core/TavelinView.h"
#include "shared/Trace.h"
#include "shared/paint/OverlayRender.h"
#include "shared/paint/PixelTarget.h"
#include "x11/overlay/BoundingShape.h"
#include "x11/overlay/FloatingHints.h"
#include "x11/overlay/StackKeeper.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace tavelin::x11::overlay {

OverlayWidget::OverlayWidget(const core::Rect& frame, core::TavelinView& view, bool solid)
    : FloatingWidget(QStringLiteral("Tavelin Overlay"), frame, rank::overlay)
    , m_view(view)
{
    setAttribute(Qt::WA_PaintOnScreen);
    if (solid)
        becomeSolid();
}

// The window is already black wherever nothing is painted: paint and shape it at once.
void OverlayWidget::becomeSolid()
{
    if (m_solid)
        return;
    m_solid = true;
    noteChange();
    if (isVisible())
        repaint();
    else
        hideEverything();
    updateCatcher();
}

void OverlayWidget::setTakesMouse(bool takesMouse)
{
    setClickThrough(!takesMouse);
    m_takesMouse = takesMouse;
    updateCatcher();
}

void OverlayWidget::bringToFront()
{
    showOnTop();
    updateCatcher();
}

void OverlayWidget::noteRepaintAsked()
{
    m_repaintAsked = true;
    noteChange();
}

void OverlayWidget::noteChange() { m_lastChange = std::chrono::steady_clock::now(); }

// A compositing manager puts a change on the screen within a frame or two; a fade-in after mapping
// (xcompmgr -f, picom's fading) lasts up to about 0.35 s.
bool OverlayWidget::steadyOnScreen() const
{
    constexpr auto settled = std::chrono::milliseconds(500);
    return isVisible() && !m_repaintAsked && std::chrono::steady_clock::now() - m_lastChange >= settled;
}

// Repaints everything from the view: it has no notion of partial updates. The window gets the
// part the event asks for (an exposure, without a compositing manager) or all of it.
void OverlayWidget::paintEvent(QPaintEvent* event)
{
    double ratio = devicePixelRatioF();
    QSize pixels = QSizeF(size() * ratio).toSize();
    if (QImage* image = m_pixels.begin(pixels, ratio)) {
        QPainter painter(image);
        shared::paint::drawOverlay(painter, m_view, { double(width()), double(height()) }, ratio, m_solid);
        if (m_solid)
            shapeToPainting(painter);
        painter.end();
        QRegion area;
        for (const QRect& r : event->region())
            area += QRect(QPointF(r.topLeft() * ratio).toPoint(), QSizeF(r.size() * ratio).toSize());
        m_pixels.put(windowId(), area.isEmpty() ? QRegion(image->rect()) : area);
    }
    m_repaintAsked = false;
    noteChange();
}

// The whole backing image is traced, not only the part repainted: the rest still holds what the
// last paint left, already made opaque.
void OverlayWidget::shapeToPainting(QPainter& painter)
{
    QImage* image = shared::paint::PixelTarget::imageOf(painter);
    if (!image)
        return;
    shared::TraceTimer timer("overlay shape");
    QRect area(QPoint(0, 0), QSizeF(size() * devicePixelRatioF()).toSize());
    applyShape(shared::paint::traceSolidShape(*image, area));
    timer.print();
}

// Sent on Qt's connection ahead of the backing store's flush of the same paint, so the server
// takes the new shape before the new pixels.
void OverlayWidget::applyShape(shared::paint::PaintedRegion region)
{
    if (m_shape && *m_shape == region)
        return;
    overlay::setBoundingRectangles(xcb::qtConnection(), windowId(), region.rectangles());
    m_shape = std::move(region);
}

// An empty shape until the first solid paint: mapped before it, the window would show black.
void OverlayWidget::hideEverything() { applyShape(shared::paint::PaintedRegion {}); }

// Qt may map the window again without painting; the shape must follow this paint's pixels.
void OverlayWidget::showEvent(QShowEvent* event)
{
    noteChange();
    FloatingWidget::showEvent(event);
    if (m_solid)
        update();
    updateCatcher();
}

void OverlayWidget::hideEvent(QHideEvent* event)
{
    noteChange();
    FloatingWidget::hideEvent(event);
    updateCatcher();
}

void OverlayWidget::moveEvent(QMoveEvent* event)
{
    noteChange();
    FloatingWidget::moveEvent(event);
    updateCatcher();
}

void OverlayWidget::resizeEvent(QResizeEvent* event)
{
    noteChange();
    FloatingWidget::resizeEvent(event);
    updateCatcher();
}

// Wanted only while solid, taking the mouse and on screen; made on first need.
void OverlayWidget::updateCatcher()
{
    if (!m_solid || !m_takesMouse || !isVisible()) {
        if (m_catcher)
            m_catcher->uncover();
        return;
    }
    if (!m_catcher) {
        m_catcher = std::make_unique<AdjustInputWindow>(AdjustInputWindow::Handlers {
            [this](core::Point p) { m_view.mousePressed(fromDevicePixels(p)); },
            [this](core::Point p) { m_view.mouseMoved(fromDevicePixels(p)); },
            [this](core::Point p) { m_view.mouseReleased(fromDevicePixels(p)); },
        });
    }
    double ratio = devicePixelRatioF();
    QRect logical = geometry();
    m_catcher->cover(QRect(QPointF(logical.topLeft() * ratio).toPoint(), QSizeF(logical.size() * ratio).toSize()));
}

core::Point OverlayWidget::fromDevicePixels(core::Point p) const
{
    double ratio = devicePixelRatioF();
    return { p.x / ratio, p.y / ratio };
}

// Only the left button drags; the events arrive only while the window takes the mouse.
void OverlayWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mousePressed({ event->position().x(), event->position().y() });
}

void OverlayWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        m_view.mouseMoved({ event->position().x(), event->position().y() });
}

void OverlayWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mouseReleased({ event->position().x(), event->position().y() });
}

}
