// The Platform interface on Qt 6 and X11: event loop and application services here, the rest forwarded.
#include "QtPlatform.h"

#include "Captures.h"
#include "CompositorWatch.h"
#include "ImageOps.h"
#include "KeyMonitor.h"
#include "OverlayWidget.h"
#include "Tray.h"
#include "WindowList.h"
#include "WindowPicker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace tavelin::qt {

namespace {
// Click monitors live in their own token range so one removeMonitor serves both kinds.
constexpr MonitorToken clickTokenBase = MonitorToken(1) << 40;
}

QtPlatform::QtPlatform()
    : m_keys(std::make_unique<KeyMonitor>())
    , m_windowList(std::make_unique<WindowList>(m_x11))
    , m_picker(std::make_unique<WindowPicker>(m_x11))
    , m_captures(std::make_unique<Captures>(m_x11))
    , m_tray(std::make_unique<Tray>())
    , m_compositor(std::make_unique<CompositorWatch>())
{
}

QtPlatform::~QtPlatform()
{
    for (auto& [id, timer] : m_timers)
        delete timer;
}

// A tray utility: no taskbar entry comes from the overlay's window type, nothing more to do here.
void QtPlatform::setAccessoryActivationPolicy()
{
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void QtPlatform::terminate()
{
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

int32_t QtPlatform::processId() const { return static_cast<int32_t>(getpid()); }

std::optional<Rect> QtPlatform::mainScreenFrame() const
{
    auto* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    auto g = screen->geometry();
    if (g.isEmpty())
        return std::nullopt;
    return Rect { double(g.x()), double(g.y()), double(g.width()), double(g.height()) };
}

void QtPlatform::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
}

void QtPlatform::postDelayed(double seconds, std::function<void()> work)
{
    QTimer::singleShot(int(seconds * 1000 + 0.5), qApp, std::move(work));
}

TimerId QtPlatform::startRepeatingTimer(double seconds, std::function<void()> tick)
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

void QtPlatform::stopTimer(TimerId id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    // The timer may be stopping itself from its own tick.
    it->second->deleteLater();
    m_timers.erase(it);
}

std::unique_ptr<OverlayWindow> QtPlatform::createOverlayWindow(const Rect& frame, TavelinView& view)
{
    return createOverlayWidget(m_x11, frame, view, *m_compositor);
}

std::unique_ptr<FlashWindow> QtPlatform::createFlashWindow(const Rect& frame)
{
    return createFlashWidget(m_x11, frame, *m_compositor);
}

void QtPlatform::createStatusItem(const std::string& accessibleName) { m_tray->create(accessibleName); }

void QtPlatform::setStatusMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger)
{
    m_tray->setMenu(menu, std::move(onTrigger));
}

MonitorToken QtPlatform::addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler)
{
    return m_keys->addGlobal(std::move(handler));
}

MonitorToken QtPlatform::addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler)
{
    return m_keys->addLocal(std::move(handler));
}

MonitorToken QtPlatform::addGlobalClickMonitor(std::function<void()> onClick, std::function<void()> onFailed)
{
    auto token = m_picker->addClickMonitor(std::move(onClick), std::move(onFailed));
    return token ? token + clickTokenBase : 0;
}

void QtPlatform::removeMonitor(MonitorToken token)
{
    if (token >= clickTokenBase)
        m_picker->remove(token - clickTokenBase);
    else if (token)
        m_keys->remove(token);
}

void QtPlatform::pushCrosshairCursor() { m_picker->pushCrosshairCursor(); }
void QtPlatform::popCursor() { m_picker->popCursor(); }
std::optional<Point> QtPlatform::pointerLocation() const { return m_picker->pointerLocation(); }

std::vector<WindowRecord> QtPlatform::onScreenWindows() { return m_windowList->onScreenWindows(); }
std::vector<WindowRecord> QtPlatform::windowInfo(uint32_t number) { return m_windowList->windowInfo(number); }
bool QtPlatform::isOwnWindow(uint32_t number) const { return isOwnTopLevel(number); }
void QtPlatform::targetWindowChanged(uint32_t number) { m_captures->targetWindowChanged(number); }

void QtPlatform::waitForOverlayGone(OverlayWindow& overlay, double minSeconds)
{
    m_captures->waitForOverlayGone(overlay, minSeconds);
}

ImageRef QtPlatform::captureScreen(const Rect& rect) { return m_captures->captureScreen(rect); }
ImageRef QtPlatform::captureWindow(uint32_t number, const Rect& rect) { return m_captures->captureWindow(number, rect); }

ImageRef QtPlatform::renderOverlay(TavelinView& view, Size points, int pixelWidth, int pixelHeight)
{
    return renderOverlayImage(view, points, pixelWidth, pixelHeight, !m_compositor->isCompositing());
}

ImageRef QtPlatform::compose(const ImageRef& base, const ImageRef& layer) { return composeImages(base, layer); }
std::optional<std::vector<uint8_t>> QtPlatform::encodePng(const ImageRef& image) { return encodePngImage(image); }

void QtPlatform::setClipboardImage(const ImageRef& image, const std::vector<uint8_t>& png)
{
    putImageOnClipboard(image, png);
}

std::string QtPlatform::homeDirectory() const
{
    const char* home = std::getenv("HOME");
    return home ? home : "";
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

}
