// The overlay's widget: paints the view translucent, or opaque in a window shaped to the painting.
#include "OverlaySurface.h"

#include "BoundingShape.h"
#include "PixelTarget.h"
#include "QPainterCanvas.h"
#include "SolidCanvas.h"
#include "TavelinView.h"
#include "Trace.h"
#include "X11WindowProperties.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace tavelin::qt {

OverlaySurface::OverlaySurface(x11::X11Connection& x11, const Rect& frame, TavelinView& view, bool solid)
    : FloatingWidget(x11, QStringLiteral("Tavelin Overlay"), frame)
    , m_view(view)
{
    setSolid(solid);
}

// From translucent to solid the window is already black wherever nothing is painted: paint and
// shape it at once. From solid to translucent the pixels go back to translucent first, so the
// compositing manager never blends the opaque ones, then the shape goes.
void OverlaySurface::setSolid(bool solid)
{
    if (solid == m_solid)
        return;
    m_solid = solid;
    if (solid) {
        if (isVisible())
            repaint();
        else
            hideEverything();
    } else {
        m_shape.reset();
        if (isVisible())
            repaint();
        x11::clearBoundingShape(x11::qtConnection(), windowId());
    }
    updateCatcher();
}

void OverlaySurface::setTakesMouse(bool takesMouse)
{
    setClickThrough(!takesMouse);
    m_takesMouse = takesMouse;
    updateCatcher();
}

void OverlaySurface::bringToFront()
{
    orderFront();
    updateCatcher();
}

// Repaints everything from the view: it has no notion of partial updates.
void OverlaySurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_solid) {
        paintSolid(painter);
        return;
    }
    QPainterCanvas canvas(painter);
    canvas.clear();
    m_view.draw(canvas, { double(width()), double(height()) });
}

// The whole backing image is traced, not only the part repainted: the rest still holds what the
// last paint left, already made opaque.
void OverlaySurface::paintSolid(QPainter& painter)
{
    {
        QPainterCanvas canvas(painter);
        canvas.clear();
        SolidCanvas solid(canvas, devicePixelRatioF());
        m_view.draw(solid, { double(width()), double(height()) });
    }
    QImage* image = PixelTarget::imageOf(painter);
    if (!image)
        return;
    TraceTimer timer("overlay shape");
    QRect area(QPoint(0, 0), QSizeF(size() * devicePixelRatioF()).toSize());
    applyShape(PaintedRegion::trace(*image, area, SolidCanvas::shapeStyle));
    timer.print();
}

// Sent on Qt's connection ahead of the backing store's flush of the same paint, so the server
// takes the new shape before the new pixels.
void OverlaySurface::applyShape(PaintedRegion region)
{
    if (m_shape && *m_shape == region)
        return;
    x11::setBoundingRectangles(x11::qtConnection(), windowId(), region.rectangles());
    m_shape = std::move(region);
}

// An empty shape until the first solid paint: mapped before it, the window would show black.
void OverlaySurface::hideEverything() { applyShape(PaintedRegion {}); }

// Qt may map the window again without painting; the shape must follow this paint's pixels.
void OverlaySurface::showEvent(QShowEvent* event)
{
    FloatingWidget::showEvent(event);
    if (m_solid)
        update();
    updateCatcher();
}

void OverlaySurface::hideEvent(QHideEvent* event)
{
    FloatingWidget::hideEvent(event);
    updateCatcher();
}

void OverlaySurface::moveEvent(QMoveEvent* event)
{
    FloatingWidget::moveEvent(event);
    updateCatcher();
}

void OverlaySurface::resizeEvent(QResizeEvent* event)
{
    FloatingWidget::resizeEvent(event);
    updateCatcher();
}

// Wanted only while solid, taking the mouse and on screen; made on first need.
void OverlaySurface::updateCatcher()
{
    if (!m_solid || !m_takesMouse || !isVisible()) {
        if (m_catcher)
            m_catcher->uncover();
        return;
    }
    if (!m_catcher) {
        m_catcher = std::make_unique<PointerCatcher>(PointerCatcher::Handlers {
            [this](Point p) { m_view.mousePressed(fromDevicePixels(p)); },
            [this](Point p) { m_view.mouseMoved(fromDevicePixels(p)); },
            [this](Point p) { m_view.mouseReleased(fromDevicePixels(p)); },
        });
    }
    double ratio = devicePixelRatioF();
    QRect logical = geometry();
    m_catcher->cover(QRect(QPointF(logical.topLeft() * ratio).toPoint(), QSizeF(logical.size() * ratio).toSize()));
}

Point OverlaySurface::fromDevicePixels(Point p) const
{
    double ratio = devicePixelRatioF();
    return { p.x / ratio, p.y / ratio };
}

// Only the left button drags; the events arrive only while the window takes the mouse.
void OverlaySurface::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mousePressed({ event->position().x(), event->position().y() });
}

void OverlaySurface::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        m_view.mouseMoved({ event->position().x(), event->position().y() });
}

void OverlaySurface::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_view.mouseReleased({ event->position().x(), event->position().y() });
}

}
