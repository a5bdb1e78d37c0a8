// What every desktop shares under Qt: the event loop, timers, the tray, images, clipboard, files and messages.
#pragma once

#include "core/Platform.h"

#include <map>
#include <memory>

class QObject;
class QTimer;

namespace tavelin::shared::tray {
class Tray;
}

namespace tavelin::shared::platform {

// A backend derives from this and adds only what its display server does differently:
// screens, overlay windows, keys, windows and captures.
class QtPlatform : public core::Platform {
public:
    QtPlatform();
    ~QtPlatform() override;

    void quit() override;
    int32_t processId() const override;

    void post(std::function<void()> work) override;
    void postDelayed(double seconds, std::function<void()> work) override;
    core::TimerId startRepeatingTimer(double seconds, std::function<void()> tick) override;
    void stopTimer(core::TimerId) override;

    void createTrayIcon(const std::string& accessibleName, std::function<void()> notShown) override;
    void setTrayMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger) override;

    core::ImageRef compose(const core::ImageRef& base, const core::ImageRef& layer) override;
    std::optional<std::vector<uint8_t>> encodePng(const core::ImageRef& image) override;
    void setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>& png) override;

    std::string desktopDirectory() const override;
    core::FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
        const std::vector<uint8_t>& bytes) override;
    std::tm localTimeNow() const override;
    void reportProblem(const std::string& message) override;
    void notify(const std::string& title, const std::string& body) override;

protected:
    // Runs once the event-loop turn that encoded a shot is over and its images are dropped: the
    // memory they took goes back to the system, the encoding threads' heaps included. Backends
    // add the buffers they keep for captures.
    virtual void releaseShotMemory();
    // Whether an XEmbed system tray runs on the display (X11 only).
    virtual bool hasXEmbedTray() { return false; }

private:
    std::unique_ptr<shared::tray::Tray> m_tray;
    std::map<core::TimerId, QTimer*> m_timers;
    std::unique_ptr<QObject> m_pending; // parent of pending posted and delayed work
    core::TimerId m_nextTimer = 1;
};

}
