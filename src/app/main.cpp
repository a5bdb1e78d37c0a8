// Tavelin's entry point: the command line first; to start, one Qt application per session with one
// AppDelegate on the session bus, and a clean exit on SIGTERM and SIGINT.
#include "core/AppDelegate.h"
#include "core/CommandSet.h"
#include "shared/cli/Client.h"
#include "shared/dbus/Service.h"
#include "shared/xdg/DisplayLock.h"
#include "wayland/WaylandPlatform.h"
#include "x11/X11Platform.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QStandardPaths>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

extern "C" void onTerminationSignal(int)
{
    char byte = 1;
    // Only async-signal-safe work here: the event loop does the rest.
    [[maybe_unused]] auto written = write(signalPipe[1], &byte, 1);
}

// Turns SIGTERM and SIGINT into an orderly quit of the event loop, so the delegate tears down.
void installSignalHandlers(QApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] auto got = read(signalPipe[0], &byte, 1);
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Qt aborts when it cannot reach a display: look first, and say so in one line.
bool x11Reachable(const char* display)
{
    if (!display || !*display)
        return false;
    auto* connection = xcb_connect(display, nullptr);
    bool reachable = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return reachable;
}

// A Wayland session whose compositor offers layer-shell gets the Wayland backend (Qt then runs
// without windows of its own); else the X server, XWayland included; neither: why, in one line.
// argc by reference: QApplication keeps a reference to it for its whole life.
std::unique_ptr<tavelin::core::Platform> choosePlatform(int& argc, char** argv, std::unique_ptr<QApplication>& app)
{
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* display = std::getenv("DISPLAY");
    bool onWayland = wayland && *wayland, answered = false;
    if (onWayland) {
        auto connection = std::make_unique<tavelin::wayland::wl::WaylandConnection>();
        if (connection->usable()) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            app = std::make_unique<QApplication>(argc, argv);
            return std::make_unique<tavelin::wayland::WaylandPlatform>(std::move(connection));
        }
        answered = connection->connected();
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    bool x11 = x11Reachable(display);
    // libwayland finds a socket's name in XDG_RUNTIME_DIR: without it, the name leads nowhere.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* why = onWayland && *wayland != '/' && !(runtime && *runtime) ? " (XDG_RUNTIME_DIR is not set)" : "";
    if (onWayland && answered)
        std::fprintf(stderr, x11 ? "tavelin: this Wayland compositor offers no layer-shell: running through XWayland, "
                                   "where Wayland windows can cover the grid, the shortcuts work only while an X11 "
                                   "window has the keyboard, and screenshots show X11 windows only\n"
                                 : "tavelin: cannot start: the Wayland compositor offers no layer-shell and there is no X display\n");
    else if (onWayland && x11)
        // A WAYLAND_DISPLAY left over from an ended session, say, beside a live X server.
        std::fprintf(stderr, "tavelin: no Wayland compositor answers at WAYLAND_DISPLAY=%s%s: running on the X display %s\n",
            wayland, why, display);
    else if (onWayland)
        std::fprintf(stderr, "tavelin: cannot start: no Wayland compositor answers at WAYLAND_DISPLAY=%s%s and there is no X display\n",
            wayland, why);
    else if (!display || !*display)
        std::fprintf(stderr, "tavelin: cannot start: no X display (DISPLAY is not set)\n");
    else if (!x11)
        std::fprintf(stderr, "tavelin: cannot start: cannot open the X display %s\n", display);
    if (!x11)
        return nullptr;
    app = std::make_unique<QApplication>(argc, argv);
    return std::make_unique<tavelin::x11::X11Platform>();
}

// The display the chosen backend draws on, by the name its clients use.
std::string displayName(const std::string& runtimeFolder)
{
    bool wayland = QGuiApplication::platformName() != "xcb";
    const char* name = std::getenv(wayland ? "WAYLAND_DISPLAY" : "DISPLAY");
    if (!name)
        return "";
    return wayland ? tavelin::shared::xdg::waylandDisplay(runtimeFolder, name) : name;
}

int startTavelin(int argc, char** argv)
{
    std::unique_ptr<QApplication> app;
    auto platform = choosePlatform(argc, argv, app);
    if (!platform)
        return 1;
    QApplication::setApplicationName("Tavelin");
    QApplication::setQuitOnLastWindowClosed(false);
    installSignalHandlers(*app);

    int status = 0;
    {
        tavelin::core::AppDelegate delegate(*platform);
        // Tests lengthen the poll that follows a window, to show that following needs no poll;
        if (const char* poll = std::getenv("TAVELIN_FOLLOW_POLL_SECONDS"))
            delegate.windows().setPollInterval(std::strtod(poll, nullptr));
        // The benchmark measures the poll alone beside the window's own events.
        delegate.windows().setPollOnly(std::getenv("TAVELIN_FOLLOW_POLL_ONLY") != nullptr);
        tavelin::core::CommandSet commands(delegate, *platform);
        tavelin::shared::dbus::Service service(commands);
        // The name first, the windows after: a second start shows nothing before it gives up.
        qint64 holder = 0;
        auto claim = service.claim(QDBusConnection::sessionBus(), &holder);
        switch (claim) {
        case tavelin::shared::dbus::Service::Claim::taken:
            std::fprintf(stderr, "tavelin: Tavelin is already running in this session (process %lld)\n", static_cast<long long>(holder));
            return 0;
        case tavelin::shared::dbus::Service::Claim::noBus:
        case tavelin::shared::dbus::Service::Claim::ours: break;
        }
        // Two sessions on one display, or a start whose bus is unreachable, would stack two grids.
        // Let go before the bus name, so a start that finds the name free finds the display free.
        tavelin::shared::xdg::DisplayLock displayLock;
        std::string runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString();
        std::string display = displayName(runtimeFolder);
        std::string problem;
        switch (displayLock.take(runtimeFolder, display, problem)) {
        case tavelin::shared::xdg::DisplayLock::Result::held:
            std::fprintf(stderr, "tavelin: Tavelin is already running on the display %s\n", display.c_str());
            return 0;
        case tavelin::shared::xdg::DisplayLock::Result::unavailable:
            std::fprintf(stderr, "tavelin: cannot tell whether Tavelin already runs on the display %s: %s\n",
                display.c_str(), problem.c_str());
            break;
        case tavelin::shared::xdg::DisplayLock::Result::ours: break;
        }
        if (claim == tavelin::shared::dbus::Service::Claim::noBus)
            std::fprintf(stderr, "tavelin: no session bus: scripts cannot reach this Tavelin\n");
        QTimer::singleShot(0, app.get(), [&delegate] { delegate.launch(); });
        status = QApplication::exec();
        displayLock.release();
        service.release();
    }
    platform.reset(); // before the application it uses
    return status;
}

}

int main(int argc, char** argv) { return tavelin::shared::cli::runTavelin(argc, argv, startTavelin); }
