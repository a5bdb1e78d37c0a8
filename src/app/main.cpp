// Tavelin's entry point: a Qt application with one AppDelegate, and a clean exit on SIGTERM and SIGINT.
#include "core/AppDelegate.h"
#include "x11/X11Platform.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
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

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tavelin");
    QApplication::setQuitOnLastWindowClosed(false);
    installSignalHandlers(app);

    int status = 0;
    {
        tavelin::x11::X11Platform platform;
        tavelin::core::AppDelegate delegate(platform);
        QTimer::singleShot(0, &app, [&delegate] { delegate.launch(); });
        status = QApplication::exec();
    }
    return status;
}
