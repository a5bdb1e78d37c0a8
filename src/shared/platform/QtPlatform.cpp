// The display-server-neutral half of the Platform interface, on Qt 6 and freedesktop services.
#include "shared/platform/QtPlatform.h"

#include "shared/dbus/Notifier.h"
#include "shared/files/NewFile.h"
#include "shared/image/ImageOps.h"
#include "shared/tray/Tray.h"
#include "shared/xdg/UserDirs.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <pwd.h>
#include <unistd.h>

namespace tavelin::shared::platform {

QtPlatform::QtPlatform()
    : m_tray(std::make_unique<shared::tray::Tray>())
    , m_pending(std::make_unique<QObject>())
{
}

QtPlatform::~QtPlatform()
{
    for (auto& [id, timer] : m_timers)
        delete timer;
}

void QtPlatform::quit()
{
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

int32_t QtPlatform::processId() const { return static_cast<int32_t>(getpid()); }

// Work waits on an object of ours, so what is still pending when the platform goes is dropped
// with it, before the application: nothing it holds outlives QApplication.
void QtPlatform::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_pending.get(), std::move(work), Qt::QueuedConnection);
}

void QtPlatform::postDelayed(double seconds, std::function<void()> work)
{
    auto* timer = new QTimer(m_pending.get());
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, m_pending.get(), [timer, work = std::move(work)] {
        timer->deleteLater();
        work();
    });
    timer->start(int(seconds * 1000 + 0.5));
}

core::TimerId QtPlatform::startRepeatingTimer(double seconds, std::function<void()> tick)
{
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(int(seconds * 1000 + 0.5));
    QObject::connect(timer, &QTimer::timeout, std::move(tick));
    timer->start();
    auto id = m_nextTimer++;
    m_timers.emplace(id, timer);
    return id;
}

void QtPlatform::stopTimer(core::TimerId id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    // The timer may be stopping itself from its own tick.
    it->second->deleteLater();
    m_timers.erase(it);
}

void QtPlatform::createTrayIcon(const std::string& accessibleName, std::function<void()> notShown)
{
    m_tray->create(accessibleName, std::move(notShown), [this] { return hasXEmbedTray(); });
}

void QtPlatform::setTrayMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger)
{
    m_tray->setMenu(menu, std::move(onTrigger));
}

core::ImageRef QtPlatform::compose(const core::ImageRef& base, const core::ImageRef& layer) { return image::composeImages(base, layer); }
std::optional<std::vector<uint8_t>> QtPlatform::encodePng(const core::ImageRef& image)
{
    auto png = image::encodePngImage(image);
    post([this] { releaseShotMemory(); });
    return png;
}

// glibc keeps freed memory in its heaps (one per thread that allocated) for reuse; a tray
// application takes a shot now and then and would hold a 4K shot's worth for good.
void QtPlatform::releaseShotMemory() { malloc_trim(0); }

void QtPlatform::setClipboardImage(const core::ImageRef& image, const std::vector<uint8_t>& png)
{
    image::putImageOnClipboard(image, png);
}

std::string QtPlatform::desktopDirectory() const
{
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        // Started without HOME (by some launchers, or env -i): the password database knows it.
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && *home ? xdg::desktopFolder(home) : "";
}

core::FileWriteResult QtPlatform::writeNewFile(const std::string& folder, const std::string& stem,
    const std::vector<uint8_t>& bytes)
{
    return files::writeNewFile(folder, stem, bytes);
}

std::tm QtPlatform::localTimeNow() const
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return local;
}

void QtPlatform::reportProblem(const std::string& message)
{
    std::fprintf(stderr, "tavelin: %s\n", message.c_str());
}

void QtPlatform::notify(const std::string& title, const std::string& body) { dbus::notify(title, body); }

}
