// The screen without the overlay (root image) and one window alone (Composite).
#include "Captures.h"

#include "CompositeCapture.h"
#include "DesktopScale.h"
#include "DrawableImage.h"
#include "ImageOps.h"
#include "RemovalWatch.h"
#include "Trace.h"

#include <QGuiApplication>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace tavelin::qt {

namespace {

// Whole device pixels; edges round to the nearest pixel so adjacent rectangles stay adjacent.
QRect devicePixelRect(const Rect& points)
{
    Rect r = toDevicePixels(points);
    long left = std::lround(r.x), top = std::lround(r.y);
    long right = std::lround(r.x + r.width), bottom = std::lround(r.y + r.height);
    return QRect(QPoint(int(left), int(top)), QSize(int(right - left), int(bottom - top)));
}

// Qt's own xcb connection queues the overlay's unmap; it must reach the server while we block.
void flushQtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection())
        xcb_flush(x11->connection());
}

}

struct Captures::Impl {
    explicit Impl(x11::X11Connection& connection)
        : x11(connection)
        , reader(connection.connection())
        , composite(connection, reader)
    {
        // Shots in quick succession reuse the memory of a capture; an idle tray icon keeps none.
        idleRelease.setSingleShot(true);
        idleRelease.setInterval(keepMemoryMs);
        QObject::connect(&idleRelease, &QTimer::timeout, [this] { reader.releaseIdle(); });
    }

    static constexpr int keepMemoryMs = 10000;

    x11::X11Connection& x11;
    x11::DrawableReader reader;
    x11::CompositeCapture composite;
    x11::RemovalWatch removal;
    QTimer idleRelease;
};

Captures::Captures(x11::X11Connection& x11)
    : m_impl(std::make_unique<Impl>(x11))
{
}

Captures::~Captures() = default;

void Captures::targetWindowChanged(uint32_t number) { m_impl->composite.follow(number); }

void Captures::waitForOverlayGone(OverlayWindow& overlay, double minSeconds)
{
    auto outcome = m_impl->removal.waitUntilGone(overlay.windowNumber(), flushQtConnection, minSeconds);
    if (tracing()) {
        std::fprintf(stderr, "tavelin: trace: overlay-gone wait %.1f ms (%s %.1f ms%s)\n", outcome.waited * 1000,
            outcome.seen ? "left the screen after" : "not seen to leave; timeout", outcome.goneAfter * 1000,
            outcome.unmapUnseen ? "; unmapped before the watch" : "");
    }
}

// The root's image is what the screen shows: every window, and a compositing manager's work.
ImageRef Captures::captureScreen(const Rect& rect)
{
    TraceTimer timer("screen capture");
    auto& x11 = m_impl->x11;
    if (!x11.isValid() || !x11.screen())
        return nullptr;
    const auto* screen = x11.screen();
    QRect area = devicePixelRect(rect).intersected(QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels));
    if (area.isEmpty())
        return nullptr;
    auto image = makeImage(m_impl->reader.read(x11.root(), area, screen->root_visual));
    m_impl->idleRelease.start();
    timer.print();
    return image;
}

ImageRef Captures::captureWindow(uint32_t number, const Rect& rect)
{
    TraceTimer timer("window capture");
    auto image = makeImage(m_impl->composite.capture(number, devicePixelRect(rect)));
    m_impl->idleRelease.start();
    timer.print();
    return image;
}

}
