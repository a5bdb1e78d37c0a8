// The overlay window hosting the view, and the screenshot flash.
#include "x11/overlay/OverlayWindows.h"

#include "x11/overlay/BoundingShape.h"
#include "x11/overlay/CompositorWatch.h"
#include "x11/overlay/FloatingHints.h"
#include "x11/overlay/FloatingWidget.h"
#include "x11/overlay/OverlayWidget.h"
#include "x11/overlay/StackKeeper.h"

#include <QPaintEvent>
#include <QPainter>

namespace tavelin::x11::overlay {

namespace {

constexpr auto flashTitle = "Tavelin Flash";
constexpr float flashAlpha = 0.3f;
// Without translucency the flash is one opaque white row in this many: about the same share of
// white as the translucent pane lays on the screen, and the screen still shows between them.
constexpr int flashRowPeriod = 3;

class FlashSurface final : public FloatingWidget {
public:
    FlashSurface(const core::Rect& frame, bool solid)
        : FloatingWidget(QString::fromLatin1(flashTitle), frame, rank::flash)
    {
        setSolid(solid);
    }

    void setSolid(bool solid)
    {
        m_solid = solid;
        if (solid)
            overlay::setBoundingRectangles(xcb::qtConnection(), windowId(), rows());
        else
            overlay::clearBoundingShape(xcb::qtConnection(), windowId());
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), m_solid ? QColor(Qt::white) : QColor::fromRgbF(1, 1, 1, flashAlpha));
    }

private:
    // Whole rows of device pixels, banded from the top.
    std::vector<shared::paint::ShapeRect> rows() const
    {
        QSize pixels = QSizeF(size() * devicePixelRatioF()).toSize().boundedTo(QSize(0x7fff, 0x7fff));
        std::vector<shared::paint::ShapeRect> rectangles;
        for (int y = 0; y < pixels.height(); y += flashRowPeriod)
            rectangles.push_back({ 0, int16_t(y), uint16_t(pixels.width()), 1 });
        return rectangles;
    }

    bool m_solid = false;
};

class QtOverlayWindow final : public core::OverlayWindow {
public:
    QtOverlayWindow(const core::Rect& frame, core::TavelinView& view, CompositorWatch& compositor)
        : m_view(view)
        , m_surface(std::make_unique<OverlayWidget>(frame, view, !compositor.isCompositing()))
        , m_compositor(compositor)
    {
        m_watch = QObject::connect(&compositor, &CompositorWatch::compositingChanged, &compositor,
            [this](bool compositing) { compositingChanged(compositing); });
    }
    ~QtOverlayWindow() override { QObject::disconnect(m_watch); }

    void setClickThrough(bool ignores) override
    {
        m_takesMouse = !ignores;
        m_surface->setTakesMouse(m_takesMouse);
    }
    void show() override { m_surface->bringToFront(); }
    void hide() override { m_surface->hide(); }
    void setFrame(const core::Rect& frame) override { m_surface->setFrame(frame); }
    core::Rect frame() const override { return m_surface->frame(); }
    uint32_t windowId() const override { return m_surface->windowId(); }
    // QWidget::update posts one paint event however often it is called before the paint.
    void update() override
    {
        m_surface->noteRepaintAsked();
        m_surface->update();
    }
    // Only a compositing manager blends the translucent drawing; without one, a window moved off
    // ours leaves an exposed patch until our repaint.
    bool screenShowsDrawing() const override { return m_compositor.isCompositing() && m_surface->steadyOnScreen(); }

private:
    // A compositing manager that starts while our window is shaped may go on drawing it through
    // that shape once the shape is gone: xfwm4 does, through unmaps and maps too, so its restart
    // or a login where Tavelin comes first left the grid invisible. A new window is drawn whole.
    void compositingChanged(bool compositing)
    {
        if (!compositing) {
            m_surface->becomeSolid();
            return;
        }
        bool shown = m_surface->isVisible();
        auto fresh = std::make_unique<OverlayWidget>(m_surface->frame(), m_view, false);
        fresh->setTakesMouse(m_takesMouse);
        // Gone before the new one shows: never two grids on the screen, not even for a frame.
        m_surface.reset();
        m_surface = std::move(fresh);
        if (shown)
            m_surface->bringToFront();
    }

    core::TavelinView& m_view;
    std::unique_ptr<OverlayWidget> m_surface;
    CompositorWatch& m_compositor;
    QMetaObject::Connection m_watch;
    bool m_takesMouse = false;
};

class QtFlashWindow final : public core::FlashWindow {
public:
    QtFlashWindow(const core::Rect& frame, CompositorWatch& compositor)
        : m_surface(frame, !compositor.isCompositing())
    {
        QObject::connect(&compositor, &CompositorWatch::compositingChanged, &m_surface,
            [this](bool compositing) { m_surface.setSolid(!compositing); });
    }

    void show() override { m_surface.showOnTop(); }
    void hide() override { m_surface.hide(); }

private:
    FlashSurface m_surface;
};

}

std::unique_ptr<core::OverlayWindow> createOverlayWindow(const core::Rect& frame, core::TavelinView& view,
    CompositorWatch& compositor)
{
    return std::make_unique<QtOverlayWindow>(frame, view, compositor);
}

std::unique_ptr<core::FlashWindow> createFlashWindow(const core::Rect& frame, CompositorWatch& compositor)
{
    return std::make_unique<QtFlashWindow>(frame, compositor);
}


}
