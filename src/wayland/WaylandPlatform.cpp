// The Platform interface on a layer-shell compositor: outputs and the overlay over our own
// connection, the event loop and application services on Qt.
#include "wayland/WaylandPlatform.h"

#include "shared/image/ImageOps.h"
#include "shared/paint/OverlayRender.h"
#include "wayland/capture/PortalScreenshot.h"
#include "wayland/capture/ScreenCopy.h"
#include "wayland/clipboard/DataControl.h"
#include "wayland/overlay/FlashSurface.h"
#include "wayland/overlay/LayerOverlay.h"
#include "wayland/windows/Picker.h"
#include "wayland/windows/TargetWatch.h"
#include "wayland/windows/WindowSource.h"
#include "wayland/shortcuts/PortalShortcuts.h"

#include <wayland-client.h>

#include <QObject>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tavelin::wayland {

WaylandPlatform::WaylandPlatform(std::unique_ptr<wl::WaylandConnection> connection)
    : m_connection(std::move(connection))
    , m_clipboard(std::make_unique<clipboard::DataControl>(*m_connection))
    , m_windows(windows::compositorWindows())
    , m_picker(std::make_unique<windows::Picker>(*m_connection))
{
    m_connection->attachToEventLoop();
    if (m_windows)
        m_targetWatch = std::make_unique<windows::TargetWatch>(*m_windows);
    auto* capture = std::getenv("TAVELIN_WAYLAND_CAPTURE");
    m_portalCapture = !m_connection->screencopy() || (capture && std::strcmp(capture, "portal") == 0);
}

WaylandPlatform::~WaylandPlatform() = default;

std::optional<core::Rect> WaylandPlatform::primaryScreenFrame() const
{
    auto outputs = m_connection->outputs();
    if (outputs.empty())
        return std::nullopt;
    return wl::pointFrame(*outputs.front());
}

// Wayland has no primary output: the first one announced stands in for it.
std::vector<core::ScreenInfo> WaylandPlatform::screens() const
{
    std::vector<core::ScreenInfo> all;
    for (auto* out : m_connection->outputs())
        all.push_back({ out->name, wl::pointFrame(*out), all.empty() });
    return all;
}

void WaylandPlatform::watchScreens(std::function<void()> changed)
{
    QObject::connect(m_connection.get(), &wl::WaylandConnection::outputsChanged, m_connection.get(), std::move(changed));
}

// One factor for the whole layout, the first output's: outputs of different scales share no grid of
// pixels.
double WaylandPlatform::deviceScale() const
{
    auto outputs = m_connection->outputs();
    return outputs.empty() ? 1.0 : wl::pixelsPerPoint(*outputs.front());
}

std::unique_ptr<core::OverlayWindow> WaylandPlatform::createOverlayWindow(const core::Rect& frame, core::TavelinView& view)
{
    auto* out = m_connection->outputAt(frame);
    return std::make_unique<overlay::LayerOverlay>(*m_connection, frame, view, out ? out->output : nullptr, out ? out->scale : 1);
}

std::unique_ptr<core::FlashWindow> WaylandPlatform::createFlashWindow(const core::Rect& frame)
{
    auto* out = m_connection->outputAt(frame);
    return std::make_unique<overlay::FlashSurface>(*m_connection, out ? out->output : nullptr, out ? out->scale : 1);
}

// No Wayland client sees keys meant for others: the desktop's shortcuts portal fires them where it
// has one, else the compositor's bindings run the command line.
core::WatchId WaylandPlatform::watchDesktopKeys(std::function<void(const core::KeyEvent&)> handler)
{
    m_shortcuts = std::make_unique<shortcuts::PortalShortcuts>(
        [handler](core::ShortcutKey key) { handler({ key, core::modifiers::shift | core::modifiers::super }); },
        [this](const std::string& line) { reportProblem(line); });
    m_shortcutsWatch = m_nextWatch++;
    return m_shortcutsWatch;
}
core::WatchId WaylandPlatform::watchOwnKeys(std::function<bool(const core::KeyEvent&)>) { return 0; }

core::WatchId WaylandPlatform::grabNextClick(std::function<void(core::Point)> onClick, std::function<void()> onFailed)
{
    if (!m_windows) {
        reportProblem("picking a window is not available on this desktop: its compositor tells no program where windows are");
        return 0;
    }
    return m_picker->start(m_nextWatch++, std::move(onClick), std::move(onFailed));
}

void WaylandPlatform::stopWatching(core::WatchId id)
{
    if (id && id == m_shortcutsWatch) {
        m_shortcuts.reset();
        m_shortcutsWatch = 0;
        return;
    }
    if (m_picker->stop(id))
        return;
    if (m_targetWatch)
        m_targetWatch->stop(id);
}

namespace {
core::WindowRecord recordOf(const windows::Window& w)
{
    core::WindowRecord record { w.id, w.pid, 0, w.frame };
    record.shown = w.shown;
    return record;
}

// The part of a window on the output that holds most of it. The grid is a layer surface on one
// output: over a window past an edge or across two it lies where the window is seen there, and
// its cells and shots with it.
core::Rect onItsOutput(const core::Rect& frame, const std::vector<const wl::Output*>& outputs)
{
    core::Rect best { frame.x, frame.y, 0, 0 };
    for (auto* out : outputs) {
        auto part = frame.intersected(wl::pointFrame(*out));
        if (part.width * part.height > best.width * best.height)
            best = part;
    }
    return best.isEmpty() ? frame : best;
}
}

// Whole frames, for the pick: a press on any part of a window names it.
std::vector<core::WindowRecord> WaylandPlatform::visibleWindows()
{
    std::vector<core::WindowRecord> records;
    if (m_windows)
        for (auto& w : m_windows->windows())
            if (w.shown)
                records.push_back(recordOf(w));
    return records;
}

std::optional<core::WindowRecord> WaylandPlatform::windowRecord(uint32_t id)
{
    auto w = m_windows ? m_windows->window(id) : std::nullopt;
    if (!w)
        return std::nullopt;
    auto record = recordOf(*w);
    record.bounds = onItsOutput(w->frame, m_connection->outputs());
    return record;
}

// Our layer surfaces are no windows in any compositor's list.
bool WaylandPlatform::isOwnWindow(uint32_t) const { return false; }
void WaylandPlatform::targetWindowChanged(uint32_t) { }

core::WatchId WaylandPlatform::watchWindowBounds(uint32_t windowId, std::function<void()> changed)
{
    if (!m_targetWatch)
        return 0;
    auto id = m_nextWatch++;
    m_targetWatch->start(id, windowId, std::move(changed));
    return id;
}

// The capture asks for the output's next frame, which the compositor composes after it has taken
// the overlay's surface away (requests are handled in order): no time to wait out.
// The portal's capture is another client's request, in no order with ours: it waits until the
// compositor has taken the overlay away.
void WaylandPlatform::waitForOverlayGone(core::OverlayWindow&, double)
{
    if (m_portalCapture)
        capture::settleWithCompositor(*m_connection);
    else
        m_connection->flush();
}

core::ImageRef WaylandPlatform::captureScreen(const core::Rect& rect)
{
    auto* out = m_connection->outputAt(rect);
    std::string failure;
    auto image = m_portalCapture ? capture::shootThroughPortal(*m_connection, rect, failure)
                                 : capture::copyOutput(*m_connection, out ? out->output : nullptr, failure);
    if (image.isNull())
        reportProblem(failure);
    return shared::image::makeImage(std::move(image));
}

// The window's part of its output as composed, the overlay gone from it first (the core sees to
// that): whatever covers the window is in it, as on the screen.
core::ImageRef WaylandPlatform::captureWindow(uint32_t, const core::Rect& rect)
{
    auto* out = m_connection->outputAt(rect);
    if (!out)
        return nullptr;
    auto on = wl::pointFrame(*out);
    QRect region = QRect(int(std::lround(rect.x - on.x)), int(std::lround(rect.y - on.y)), int(std::lround(rect.width)),
        int(std::lround(rect.height))).intersected(QRect(0, 0, int(on.width), int(on.height)));
    if (region.isEmpty())
        return nullptr;
    std::string failure;
    QImage image;
    if (out->transform == 0) {
        image = capture::copyOutput(*m_connection, out->output, failure, &region);
    } else {
        // Compositors place a region of a turned output wrongly (wlroots and Hyprland alike): the
        // whole output, upright, and our own cut of it.
        image = capture::copyOutput(*m_connection, out->output, failure);
        if (!image.isNull()) {
            double s = wl::pixelsPerPoint(*out);
            image = image.copy(QRectF(region.x() * s, region.y() * s, region.width() * s, region.height() * s).toRect());
        }
    }
    if (image.isNull())
        reportProblem(failure);
    return shared::image::makeImage(std::move(image));
}

core::ImageRef WaylandPlatform::renderOverlay(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight)
{
    return shared::image::makeImage(shared::paint::renderOverlayImage(view, points, pixelWidth, pixelHeight, false));
}

// Qt's clipboard needs keyboard focus on Wayland, which the grid never takes.
void WaylandPlatform::setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>& png)
{
    if (m_clipboard->available())
        m_clipboard->setPng(png);
    else
        QtPlatform::setClipboardImage(image, png);
}

}
