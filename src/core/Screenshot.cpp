// Capturing, composing, saving and confirming a screenshot.
#include "core/Screenshot.h"

#include <cstdio>

namespace tavelin::core {

namespace {
// No fixed floor: the platform's proof that the grid left the screen is the whole wait.
constexpr double overlayRemovalWait = 0;
constexpr double flashDuration = 0.15;
}

// Our flashes go now, while the application they belong to is still there.
Screenshot::~Screenshot() { m_flashes.clear(); }

std::string Screenshot::fileName(const std::tm& t)
{
    char name[64];
    std::snprintf(name, sizeof name, "Tavelin_%04d-%02d-%02d_%02d.%02d.%02d.png", t.tm_year + 1900, t.tm_mon + 1,
        t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

// The base image: the target window alone, or else the grid's screen without the overlay, or with
// it where the screen shows it as drawn. rect receives the captured rectangle in global
// coordinates; failure why there is no image.
Screenshot::Base Screenshot::captureBase(Rect& rect, std::string& failure)
{
    if (auto target = m_state.targetMode().windowId()) {
        if (auto record = m_targeting.windowRecord(*target); record && record->bounds) {
            // Its pixels are not there to take, and the grid is not on screen: nothing to show.
            if (!record->shown) {
                failure = "the window the grid follows is not on screen "
                          "(minimized, shaded, on another desktop or in a scratchpad)";
                return {};
            }
            rect = *record->bounds;
            failure = "the window could not be captured";
            auto capture = [this, id = *target, &rect] { return m_platform.captureWindow(id, rect); };
            return { m_platform.windowCaptureShowsOverlay() ? withoutOverlay(capture) : capture() };
        }
    }
    failure = "the screen could not be captured";
    auto screen = m_screens.frame();
    if (!screen)
        return {};
    // The screen's own rectangle: where the overlay lies, wherever that screen is.
    rect = *screen;
    // Blended on the screen as drawn, the grid needs no removal (no wait, no flicker): the screen
    // is the picture. A flash still showing would be in it.
    auto* overlay = m_overlay.window();
    if (overlay && m_flashes.empty() && !m_state.isSelectingWindow() && overlay->screenShowsDrawing())
        return { m_platform.captureScreen(rect), true };
    return { withoutOverlay([this, &rect] { return m_platform.captureScreen(rect); }) };
}

ImageRef Screenshot::withoutOverlay(const std::function<ImageRef()>& capture)
{
    auto* overlay = m_state.isSelectingWindow() ? nullptr : m_overlay.window();
    for (auto& flash : m_flashes)
        flash->hide();
    if (overlay) {
        overlay->hide();
        m_platform.waitForOverlayGone(*overlay, overlayRemovalWait);
    }
    auto base = capture();
    if (overlay)
        overlay->show();
    return base;
}

// The grid over what lies under it; none while the grid is hidden or when a step fails.
Screenshot::Composed Screenshot::compose()
{
    if (!m_state.isVisible())
        return { nullptr, "the grid is hidden" };
    Rect rect;
    std::string failure;
    auto [base, showsGrid] = captureBase(rect, failure);
    if (!base || base->pixelWidth() <= 0 || base->pixelHeight() <= 0)
        return { nullptr, failure };
    ImageRef layer;
    if (auto* view = m_overlay.view(); view && !showsGrid)
        layer = m_platform.renderOverlay(*view, rect.size(), base->pixelWidth(), base->pixelHeight());
    auto image = m_platform.compose(base, layer);
    return { image, image ? "" : "the grid could not be drawn on the image" };
}

// Whatever fails is told where the user looks (a notification) and on stderr; the flash plays only
// when the image went somewhere.
Screenshot::Result Screenshot::toDesktop()
{
    if (!m_state.isVisible())
        return { "", "the grid is hidden" };
    auto composed = compose();
    auto png = composed.image ? m_platform.encodePng(composed.image) : std::nullopt;
    if (!png) {
        auto why = composed.image ? "the image could not be encoded as PNG" : composed.failure;
        tellFailure("Screenshot failed", "Nothing was saved or copied: " + why + ".", "screenshot failed: " + why);
        return { "", "the screenshot could not be taken: " + why };
    }
    auto saved = save(*png);
    m_platform.setClipboardImage(composed.image, *png);
    flash();
    if (auto* error = std::get_if<WriteError>(&saved)) {
        tellFailure("Screenshot not saved", "Copied to the clipboard; not saved: " + error->message + ".",
            "screenshot not saved (copied to the clipboard): " + error->message);
        return { "", "screenshot not saved (copied to the clipboard): " + error->message };
    }
    return { std::get<WrittenFile>(saved).path, "" };
}

Screenshot::Png Screenshot::png()
{
    auto composed = compose();
    if (!composed.image)
        return { std::nullopt, composed.failure };
    auto bytes = m_platform.encodePng(composed.image);
    return { bytes, bytes ? "" : "the image could not be encoded as PNG" };
}

// A failed write loses only the file: the clipboard and the flash still follow.
FileWriteResult Screenshot::save(const std::vector<uint8_t>& png)
{
    auto desktop = m_platform.desktopDirectory();
    if (desktop.empty())
        return WriteError { "no home directory to find the Desktop folder in" };
    auto name = fileName(m_platform.localTimeNow());
    auto stem = name.substr(0, name.size() - 4);
    return m_platform.writeNewFile(desktop, stem, png);
}

void Screenshot::tellFailure(const std::string& title, const std::string& body, const std::string& line)
{
    m_platform.reportProblem(line);
    m_platform.notify(title, body);
}

void Screenshot::flash()
{
    auto frame = m_overlay.frame();
    if (!frame)
        return;
    std::shared_ptr<FlashWindow> window = m_platform.createFlashWindow(*frame);
    if (!window)
        return;
    window->show();
    m_flashes.push_back(window);
    // We own the flash, so a quit before the task runs still destroys the window while the
    // application is there; the task only holds it weakly.
    std::weak_ptr<FlashWindow> pending = window;
    m_platform.postDelayed(flashDuration, m_life.guard([this, pending] {
        auto done = pending.lock();
        if (!done)
            return;
        done->hide();
        std::erase(m_flashes, done);
    }));
}

}
