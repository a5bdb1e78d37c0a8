// The X11 desktop: RandR screens, overlay windows, keys, window list and captures over xcb; the rest is shared.
#include "x11/X11Platform.h"

#include "shared/OwnWindows.h"
#include "shared/image/ImageOps.h"
#include "shared/paint/OverlayRender.h"
#include "x11/capture/ScreenshotCapture.h"
#include "x11/keys/KeyMonitor.h"
#include "x11/overlay/CompositorWatch.h"
#include "x11/overlay/OverlayWindows.h"
#include "x11/screens/RandrScreens.h"
#include "x11/xcb/DesktopScale.h"
#include "x11/xcb/XlibIoError.h"
#include "x11/windows/BoundsWatch.h"
#include "x11/windows/WindowList.h"
#include "x11/windows/WindowPicker.h"

#include <QObject>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>
#include <unistd.h>

namespace tavelin::x11 {

namespace {
// Click monitors and bounds watches live in token ranges of their own so one stopWatching serves all kinds.
constexpr core::WatchId clickTokenBase = core::WatchId(1) << 40;
constexpr core::WatchId boundsTokenBase = core::WatchId(1) << 41;
}

X11Platform::X11Platform()
    : m_screens(std::make_unique<screens::RandrScreens>())
    , m_keys(std::make_unique<keys::KeyMonitor>())
    , m_windowList(std::make_unique<windows::WindowList>(m_x11))
    , m_picker(std::make_unique<windows::WindowPicker>(m_x11))
    , m_boundsWatch(std::make_unique<windows::BoundsWatch>())
    , m_captures(std::make_unique<capture::ScreenshotCapture>(m_x11))
    , m_compositor(std::make_unique<overlay::CompositorWatch>())
{
    xcb::reportBrokenDisplayInOneLine();
}

X11Platform::~X11Platform() = default;

std::optional<core::Rect> X11Platform::primaryScreenFrame() const
{
    for (auto& screen : screens()) {
        if (screen.primary)
            return screen.frame;
    }
    return std::nullopt;
}

// RandR's monitors as they are now (Qt's screen list can lag behind or miss monitors set by hand).
std::vector<core::ScreenInfo> X11Platform::screens() const
{
    std::vector<core::ScreenInfo> all;
    for (auto& m : m_screens->monitors()) {
        auto frame = xcb::toPoints(core::Rect { double(m.x), double(m.y), double(m.width), double(m.height) });
        all.push_back({ m.name, frame, m.primary });
    }
    return all;
}

void X11Platform::watchScreens(std::function<void()> changed)
{
    QObject::connect(m_screens.get(), &screens::RandrScreens::changed, m_screens.get(), std::move(changed));
}

double X11Platform::deviceScale() const { return xcb::deviceScale(); }

std::unique_ptr<core::OverlayWindow> X11Platform::createOverlayWindow(const core::Rect& frame, core::TavelinView& view)
{
    return overlay::createOverlayWindow(frame, view, *m_compositor);
}

std::unique_ptr<core::FlashWindow> X11Platform::createFlashWindow(const core::Rect& frame)
{
    return overlay::createFlashWindow(frame, *m_compositor);
}

core::WatchId X11Platform::watchDesktopKeys(std::function<void(const core::KeyEvent&)> handler)
{
    return m_keys->addGlobal(std::move(handler));
}

core::WatchId X11Platform::watchOwnKeys(std::function<bool(const core::KeyEvent&)> handler)
{
    return m_keys->addLocal(std::move(handler));
}

core::WatchId X11Platform::grabNextClick(std::function<void(core::Point)> onClick, std::function<void()> onFailed)
{
    auto token = m_picker->addClickMonitor(std::move(onClick), std::move(onFailed));
    return token ? token + clickTokenBase : 0;
}

void X11Platform::stopWatching(core::WatchId token)
{
    if (token >= boundsTokenBase)
        m_boundsWatch->remove(token - boundsTokenBase);
    else if (token >= clickTokenBase)
        m_picker->remove(token - clickTokenBase);
    else if (token)
        m_keys->remove(token);
}

// Bounds as far as the screens show them: the grid laid over one is never larger than they are.
std::vector<core::WindowRecord> X11Platform::visibleWindows()
{
    auto records = m_windowList->visibleWindows();
    auto frames = screenFrames();
    for (auto& record : records)
        if (record.bounds)
            record.bounds = windows::onScreens(*record.bounds, frames);
    return records;
}

std::optional<core::WindowRecord> X11Platform::windowRecord(uint32_t id)
{
    auto record = m_windowList->windowRecord(id);
    if (record && record->bounds)
        record->bounds = windows::onScreens(*record->bounds, screenFrames());
    return record;
}

std::vector<core::Rect> X11Platform::screenFrames() const
{
    std::vector<core::Rect> frames;
    for (auto& screen : screens())
        frames.push_back(screen.frame);
    return frames;
}

bool X11Platform::isOwnWindow(uint32_t windowId) const { return shared::isOwnTopLevel(windowId); }
void X11Platform::targetWindowChanged(uint32_t windowId) { m_captures->targetWindowChanged(windowId); }

core::WatchId X11Platform::watchWindowBounds(uint32_t windowId, std::function<void()> changed)
{
    auto token = m_boundsWatch->watch(windowId, std::move(changed));
    return token ? token + boundsTokenBase : 0;
}

void X11Platform::waitForOverlayGone(core::OverlayWindow& overlay, double minSeconds)
{
    m_captures->waitForOverlayGone(overlay, minSeconds);
}

void X11Platform::waitForMenuGone() { m_captures->waitForMenusGone(); }

void X11Platform::releaseShotMemory()
{
    m_captures->releaseMemory();
    QtPlatform::releaseShotMemory();
}

// System Tray Protocol: the tray's manager owns _NET_SYSTEM_TRAY_S<screen>.
bool X11Platform::hasXEmbedTray() { return m_x11.selectionHasOwner("_NET_SYSTEM_TRAY_S" + std::to_string(m_x11.screenNumber())); }

core::ImageRef X11Platform::captureScreen(const core::Rect& rect) { return m_captures->captureScreen(rect); }
core::ImageRef X11Platform::captureWindow(uint32_t windowId, const core::Rect& rect) { return m_captures->captureWindow(windowId, rect); }

core::ImageRef X11Platform::renderOverlay(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight)
{
    return shared::image::makeImage(shared::paint::renderOverlayImage(view, points, pixelWidth, pixelHeight, !m_compositor->isCompositing()));
}

}
