// The screenshot: what lies under the grid, with the grid on it, to a PNG file and the clipboard.
#include "core/AppDelegate.h"

#include <cstdio>

namespace tavelin::core {

namespace {
constexpr double overlayRemovalWait = 0.1;
constexpr double flashDuration = 0.15;
}

std::string AppDelegate::screenshotFileName(const std::tm& t)
{
    char name[64];
    std::snprintf(name, sizeof name, "Tavelin_%04d-%02d-%02d_%02d.%02d.%02d.png", t.tm_year + 1900, t.tm_mon + 1,
        t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

// The base image: the target window alone, or else the primary screen without the overlay.
// rect receives the captured rectangle in global coordinates.
ImageRef AppDelegate::captureBase(Rect& rect)
{
    if (auto target = m_gridState.targetMode().windowId()) {
        if (auto bounds = getWindowBounds(*target)) {
            rect = *bounds;
            return m_platform.captureWindow(*target, rect);
        }
    }
    auto screen = fullScreenFrame();
    if (!screen)
        return nullptr;
    // The grid's screen's own rectangle: where the overlay lies, wherever that screen is.
    rect = *screen;
    bool hideOverlay = m_overlayWindow && !m_gridState.isSelectingWindow();
    for (auto& flash : m_flashes)
        flash->hide();
    if (hideOverlay) {
        m_overlayWindow->hide();
        m_platform.waitForOverlayGone(*m_overlayWindow, overlayRemovalWait);
    }
    auto base = m_platform.captureScreen(rect);
    if (hideOverlay)
        m_overlayWindow->show();
    return base;
}

// The grid over what lies under it; none while the grid is hidden or when a step fails.
ImageRef AppDelegate::composeScreenshot()
{
    if (!m_gridState.isVisible())
        return nullptr;
    Rect rect;
    auto base = captureBase(rect);
    if (!base || base->pixelWidth() <= 0 || base->pixelHeight() <= 0)
        return nullptr;
    ImageRef layer;
    if (m_view)
        layer = m_platform.renderOverlay(*m_view, rect.size(), base->pixelWidth(), base->pixelHeight());
    return m_platform.compose(base, layer);
}

void AppDelegate::takeScreenshot() { screenshotToDesktop(); }

AppDelegate::ShotResult AppDelegate::screenshotToDesktop()
{
    auto composed = composeScreenshot();
    auto png = composed ? m_platform.encodePng(composed) : std::nullopt;
    if (!png)
        return { "", "the screenshot could not be taken" };
    auto saved = saveScreenshot(*png);
    m_platform.setClipboardImage(composed, *png);
    showScreenshotFeedback();
    if (auto* error = std::get_if<WriteError>(&saved))
        return { "", "screenshot not saved: " + error->message };
    return { std::get<WrittenFile>(saved).path, "" };
}

std::optional<std::vector<uint8_t>> AppDelegate::screenshotPng()
{
    auto composed = composeScreenshot();
    return composed ? m_platform.encodePng(composed) : std::nullopt;
}

// A failed write loses only the file: the clipboard and the flash still follow.
FileWriteResult AppDelegate::saveScreenshot(const std::vector<uint8_t>& png)
{
    auto desktop = m_platform.desktopDirectory();
    if (desktop.empty()) {
        m_platform.reportProblem("screenshot not saved: no home directory");
        return WriteError { "no home directory" };
    }
    auto name = screenshotFileName(m_platform.localTimeNow());
    auto stem = name.substr(0, name.size() - 4);
    auto result = m_platform.writeNewFile(desktop, stem, png);
    if (auto* error = std::get_if<WriteError>(&result))
        m_platform.reportProblem("screenshot not saved: " + error->message);
    return result;
}

void AppDelegate::showScreenshotFeedback()
{
    if (!m_overlayWindow)
        return;
    std::shared_ptr<FlashWindow> flash = m_platform.createFlashWindow(m_overlayWindow->frame());
    if (!flash)
        return;
    flash->show();
    m_flashes.push_back(flash);
    // The delegate owns the flash, so a quit before the task runs still destroys the window while
    // the application is there; the task only holds it weakly.
    std::weak_ptr<bool> alive = m_alive;
    std::weak_ptr<FlashWindow> pending = flash;
    m_platform.postDelayed(flashDuration, [this, alive, pending] {
        auto done = pending.lock();
        if (!alive.lock() || !done)
            return;
        done->hide();
        std::erase(m_flashes, done);
    });
}

}
