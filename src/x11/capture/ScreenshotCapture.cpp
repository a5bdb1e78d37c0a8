// The screen without the overlay (root image) and one window alone (Composite).
#include "x11/capture/ScreenshotCapture.h"

#include "shared/OwnWindows.h"
#include "shared/Trace.h"
#include "shared/image/ImageOps.h"
#include "x11/screens/RandrScreens.h"
#include "x11/capture/DrawableImage.h"
#include "x11/capture/RemovalWatch.h"
#include "x11/capture/WindowCapture.h"
#include "x11/windows/TopLevelWindows.h"
#include "x11/xcb/DesktopScale.h"
#include "x11/xcb/X11Connection.h"

#include <QGuiApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace tavelin::x11::capture {

namespace {

// Whole device pixels; edges round to the nearest pixel so adjacent rectangles stay adjacent.
QRect devicePixelRect(const core::Rect& points)
{
    core::Rect r = xcb::toDevicePixels(points);
    long left = std::lround(r.x), top = std::lround(r.y);
    long right = std::lround(r.x + r.width), bottom = std::lround(r.y + r.height);
    return QRect(QPoint(int(left), int(top)), QSize(int(right - left), int(bottom - top)));
}

// How long compositing managers fade a closing window out: picom's default steps take a third of
// a second, and so do xcompmgr -f's.
constexpr double menuFadeSeconds = 0.4;

// The root as it is now: RandR may have resized it since the connection was made.
QRect onRoot(xcb::X11Connection& x11, const core::Rect& rect)
{
    auto [rootWidth, rootHeight] = screens::currentRootSize(x11);
    return devicePixelRect(rect).intersected(QRect(0, 0, rootWidth, rootHeight));
}


}

struct ScreenshotCapture::Impl {
    explicit Impl(xcb::X11Connection& connection)
        : x11(connection)
        , reader(connection.connection())
        , composite(connection, reader)
    {
    }

    xcb::X11Connection& x11;
    capture::DrawableReader reader;
    capture::WindowCapture composite;
    capture::RemovalWatch removal;
    std::optional<windows::EwmhAtoms> atoms; // interned at the first menu shot
};

ScreenshotCapture::ScreenshotCapture(xcb::X11Connection& x11)
    : m_impl(std::make_unique<Impl>(x11))
{
}

ScreenshotCapture::~ScreenshotCapture() = default;

void ScreenshotCapture::targetWindowChanged(uint32_t windowId) { m_impl->composite.follow(windowId); }

void ScreenshotCapture::waitForOverlayGone(core::OverlayWindow& overlay, double minSeconds)
{
    auto outcome = m_impl->removal.waitUntilGone(overlay.windowId(), xcb::flushQtConnection, minSeconds);
    if (shared::tracing()) {
        std::fprintf(stderr, "tavelin: trace: overlay-gone wait %.1f ms (%s %.1f ms%s)\n", outcome.waited * 1000,
            outcome.seen ? "left the screen after" : "not seen to leave; timeout", outcome.goneAfter * 1000,
            outcome.unmapUnseen ? "; unmapped before the watch" : "");
    }
}

// A menu closes as the command of its row arrives: Qt has hidden ours, and a panel that draws
// the exported menu itself (mate-panel, lxqt-panel) closes its own about then, before or after
// telling us. The screen is read as shown, and a compositing manager may show a closed menu for a
// while yet: many fade it out, and tell no one when they are done. So other clients' menus still
// mapped are waited for, and then the time a fade takes.
void ScreenshotCapture::waitForMenusGone()
{
    auto& x11 = m_impl->x11;
    if (!x11.isValid() || !x11.screen())
        return;
    shared::TraceTimer timer("menu-gone wait");
    xcb::flushQtConnection();
    if (!m_impl->atoms)
        m_impl->atoms.emplace(x11);
    auto [rootWidth, rootHeight] = screens::currentRootSize(x11);
    core::Rect root { 0, 0, double(rootWidth), double(rootHeight) };
    for (auto menu : windows::shownMenus(x11, *m_impl->atoms, root)) {
        if (!shared::isOwnTopLevel(menu))
            m_impl->removal.waitUntilUnmapped(menu);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(menuFadeSeconds));
    timer.print();
}

// The root's image is what the screen shows: every window, and a compositing manager's work.
core::ImageRef ScreenshotCapture::captureScreen(const core::Rect& rect)
{
    shared::TraceTimer timer("screen capture");
    auto& x11 = m_impl->x11;
    if (!x11.isValid() || !x11.screen())
        return nullptr;
    const auto* screen = x11.screen();
    QRect area = onRoot(x11, rect);
    if (area.isEmpty())
        return nullptr;
    auto image = shared::image::makeImage(m_impl->reader.read(x11.root(), area, screen->root_visual));
    timer.print();
    return image;
}

void ScreenshotCapture::releaseMemory() { m_impl->reader.releaseIdle(); }

core::ImageRef ScreenshotCapture::captureWindow(uint32_t windowId, const core::Rect& rect)
{
    shared::TraceTimer timer("window capture");
    // A window's own pixels may reach past the screens; a shot never does.
    QRect area = onRoot(m_impl->x11, rect);
    if (area.isEmpty())
        return nullptr;
    auto image = shared::image::makeImage(m_impl->composite.capture(windowId, area));
    timer.print();
    return image;
}

}
