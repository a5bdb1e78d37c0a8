// The overlay window hosting the view, the screenshot flash, and the registry of our own top-levels.
#include "OverlayWidget.h"

#include "BoundingShape.h"
#include "CompositorWatch.h"
#include "FloatingWidget.h"
#include "OverlaySurface.h"
#include "X11WindowProperties.h"

#include <QPaintEvent>
#include <QPainter>

#include <unordered_map>

namespace tavelin::qt {

namespace {

constexpr auto flashTitle = "Tavelin Flash";
constexpr float flashAlpha = 0.3f;
// Without translucency the flash is one opaque white row in this many: about the same share of
// white as the translucent pane lays on the screen, and the screen still shows between them.
constexpr int flashRowPeriod = 3;

// Counted, so an id the X server hands out again after one of ours was destroyed stays right.
std::unordered_map<uint32_t, int>& ownTopLevels()
{
    static std::unordered_map<uint32_t, int> ids;
    return ids;
}

class FlashSurface final : public FloatingWidget {
public:
    FlashSurface(x11::X11Connection& x11, const Rect& frame, bool solid)
        : FloatingWidget(x11, QString::fromLatin1(flashTitle), frame)
    {
        setSolid(solid);
    }

    void setSolid(bool solid)
    {
        m_solid = solid;
        if (solid)
            x11::setBoundingRectangles(x11::qtConnection(), windowId(), rows());
        else
            x11::clearBoundingShape(x11::qtConnection(), windowId());
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
    std::vector<xcb_rectangle_t> rows() const
    {
        QSize pixels = QSizeF(size() * devicePixelRatioF()).toSize().boundedTo(QSize(0x7fff, 0x7fff));
        std::vector<xcb_rectangle_t> rectangles;
        for (int y = 0; y < pixels.height(); y += flashRowPeriod)
            rectangles.push_back({ 0, int16_t(y), uint16_t(pixels.width()), 1 });
        return rectangles;
    }

    bool m_solid = false;
};

class QtOverlayWindow final : public OverlayWindow {
public:
    QtOverlayWindow(x11::X11Connection& x11, const Rect& frame, TavelinView& view, CompositorWatch& compositor)
        : m_surface(x11, frame, view, !compositor.isCompositing())
    {
        QObject::connect(&compositor, &CompositorWatch::compositingChanged, &m_surface,
            [this](bool compositing) { m_surface.setSolid(!compositing); });
    }

    void setIgnoresMouseEvents(bool ignores) override { m_surface.setTakesMouse(!ignores); }
    void orderFront() override { m_surface.bringToFront(); }
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
    QtFlashWindow(x11::X11Connection& x11, const Rect& frame, CompositorWatch& compositor)
        : m_surface(x11, frame, !compositor.isCompositing())
    {
        QObject::connect(&compositor, &CompositorWatch::compositingChanged, &m_surface,
            [this](bool compositing) { m_surface.setSolid(!compositing); });
    }

    void orderFront() override { m_surface.orderFront(); }
    void orderOut() override { m_surface.orderOut(); }

private:
    FlashSurface m_surface;
};

}

std::unique_ptr<OverlayWindow> createOverlayWidget(x11::X11Connection& x11, const Rect& frame, TavelinView& view,
    CompositorWatch& compositor)
{
    return std::make_unique<QtOverlayWindow>(x11, frame, view, compositor);
}

std::unique_ptr<FlashWindow> createFlashWidget(x11::X11Connection& x11, const Rect& frame, CompositorWatch& compositor)
{
    return std::make_unique<QtFlashWindow>(x11, frame, compositor);
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
