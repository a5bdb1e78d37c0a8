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
#include "wayland/shortcuts/PortalShortcuts.h"

#include <wayland-client.h>

#include <QObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tavelin::wayland {

WaylandPlatform::WaylandPlatform(std::unique_ptr<wl::WaylandConnection> connection)
    : m_connection(std::move(connection))
    , m_clipboard(std::make_unique<clipboard::DataControl>(*m_connection))
{
    m_connection->attachToEventLoop();
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

double WaylandPlatform::deviceScale() const
{
    auto outputs = m_connection->outputs();
    return outputs.empty() ? 1.0 : double(outputs.front()->scale);
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
    return 1;
}
core::WatchId WaylandPlatform::watchOwnKeys(std::function<bool(const core::KeyEvent&)>) { return 0; }

core::WatchId WaylandPlatform::grabNextClick(std::function<void(core::Point)>, std::function<void()>)
{
    reportProblem("picking a window is not available on this desktop");
    return 0;
}

void WaylandPlatform::stopWatching(core::WatchId id)
{
    if (id == 1)
        m_shortcuts.reset();
}

std::vector<core::WindowRecord> WaylandPlatform::visibleWindows() { return {}; }
std::optional<core::WindowRecord> WaylandPlatform::windowRecord(uint32_t) { return std::nullopt; }
bool WaylandPlatform::isOwnWindow(uint32_t) const { return false; }
void WaylandPlatform::targetWindowChanged(uint32_t) { }

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

core::ImageRef WaylandPlatform::captureWindow(uint32_t, const core::Rect&) { return nullptr; }

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
