// The command line's remote control: one method call to the running Tavelin, its answer printed.
#include "shared/cli/Client.h"

#include "shared/files/NewFile.h"
#include "shared/cli/CommandLine.h"
#include "shared/cli/Output.h"
#include "shared/dbus/Proxy.h"
#include "shared/mcp/Serve.h"
#include "shared/xdg/Autostart.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TAVELIN_VERSION
#define TAVELIN_VERSION "unknown"
#endif

namespace tavelin::shared::cli {

namespace {

constexpr int refused = 1;
constexpr int usageStatus = 2;

int fail(const QString& message, int status = refused)
{
    // Refusals quote what they were given, and Tavelin's answers name what the display reports.
    std::fprintf(stderr, "tavelin: %s\n", printed(message).toLocal8Bit().constData());
    return status;
}

// Text a script never got (a full disk, a closed output) is a failure it must learn of.
int flushed(int status)
{
    if (status != 0)
        return status;
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    QString reason = errno ? QString(": ") + std::strerror(errno) : QString();
    return fail("could not write to standard output" + reason);
}

// A standard descriptor the caller closed would go to the next file opened (the bus's socket), and
// what is printed would land there. /dev/null takes its place, read-only for standard output so
// that printing fails and is told.
void holdStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int held = open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
}

void print(const QString& text)
{
    auto bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// Calls that print why they failed and give the exit status.
class Remote {
public:
    explicit Remote(QDBusConnection bus) : m_proxy(std::move(bus)) { }

    // The reply's arguments, or the exit status after printing why there are none.
    std::variant<QVariantList, int> call(const char* method, const QVariantList& arguments = {})
    {
        auto reply = m_proxy.call(method, arguments);
        if (auto* error = std::get_if<dbus::CallError>(&reply))
            return fail(error->message, error->kind == dbus::CallError::Kind::badArgument ? usageStatus : refused);
        return std::get<QVariantList>(reply);
    }

    bool isRunning() const { return m_proxy.isRunning(); }

private:
    dbus::Proxy m_proxy;
};

// The checks that must pass before a shot is taken, so a refused one leaves no trace.
std::optional<QString> unwritable(const std::string& path)
{
    QFileInfo file(QString::fromStdString(path));
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return QString::fromStdString(path) + " is a folder: name the file to write in it";
    if (lstat(path.c_str(), &info) == 0)
        return QString::fromStdString(path) + " already exists; a shot never replaces a file";
    if (!file.absoluteDir().exists())
        return "cannot write " + QString::fromStdString(path) + ": there is no folder " + file.absolutePath();
    return std::nullopt;
}

int takeShot(Remote& remote, const Request& r)
{
    if (r.verb == Verb::shotToFile) {
        if (auto problem = unwritable(r.name))
            return fail(*problem);
    } else if (isatty(STDOUT_FILENO)) {
        return fail("not writing a PNG to a terminal: redirect the output (tavelin shot - > shot.png)");
    }
    auto reply = remote.call("ShotPng");
    if (auto* status = std::get_if<int>(&reply))
        return *status;
    auto png = std::get<QVariantList>(reply).value(0).toByteArray();
    if (r.verb == Verb::shotToStdout) {
        bool written = std::fwrite(png.constData(), 1, size_t(png.size()), stdout) == size_t(png.size())
            && std::fflush(stdout) == 0;
        return written ? 0 : fail("could not write the PNG to standard output");
    }
    std::vector<uint8_t> bytes(png.begin(), png.end());
    auto result = files::writeFileNoReplace(r.name, bytes);
    if (auto* error = std::get_if<core::WriteError>(&result))
        return fail(QString::fromStdString(error->message));
    return 0;
}

QVariantList switchArgument(core::Switch mode)
{
    switch (mode) {
    case core::Switch::on: return { QStringLiteral("on") };
    case core::Switch::off: return { QStringLiteral("off") };
    case core::Switch::toggle: break;
    }
    return { QStringLiteral("toggle") };
}

// The method and arguments of a request that prints nothing when it succeeds.
std::pair<const char*, QVariantList> plainCall(const Request& r)
{
    switch (r.verb) {
    case Verb::grid: return { "Grid", switchArgument(r.mode) };
    case Verb::labels: return { "Labels", switchArgument(r.mode) };
    case Verb::adjust: return { "Adjust", switchArgument(r.mode) };
    case Verb::pick: return { "Pick", {} };
    case Verb::follow: return { "Follow", { QVariant::fromValue(uint(r.window)) } };
    case Verb::fullScreen: return { "FullScreen", {} };
    case Verb::size: return { "Size", { r.width, r.height } };
    case Verb::color: return { "Color", { QString::fromStdString(r.name) } };
    case Verb::screen: return { "Screen", { QString::fromStdString(r.name) } };
    default: return { nullptr, {} };
    }
}

int callRunning(const Request& r, QDBusConnection bus)
{
    if (!bus.isConnected())
        return fail("cannot reach Tavelin: there is no session bus (" + bus.lastError().message() + ")");
    Remote remote(bus);
    if (!remote.isRunning())
        return fail(dbus::notRunningMessage);
    if (r.verb == Verb::shotToFile || r.verb == Verb::shotToStdout)
        return takeShot(remote, r);
    if (r.verb == Verb::quit) {
        auto reply = remote.call("Quit");
        return std::holds_alternative<QVariantList>(reply) ? 0 : std::get<int>(reply);
    }
    const char* method = nullptr;
    QVariantList arguments;
    switch (r.verb) {
    case Verb::shot: method = "Shot"; break;
    case Verb::cell: method = "Cell", arguments = { QString::fromStdString(r.name) }; break;
    case Verb::at: method = "At", arguments = { qlonglong(r.x), qlonglong(r.y) }; break;
    case Verb::state: method = "State"; break;
    case Verb::listScreens: method = "Screens"; break;
    default: std::tie(method, arguments) = plainCall(r);
    }
    auto reply = remote.call(method, arguments);
    if (auto* status = std::get_if<int>(&reply))
        return *status;
    auto value = std::get<QVariantList>(reply).value(0);
    switch (r.verb) {
    case Verb::shot: print(value.toString() + '\n'); break;
    case Verb::cell: print(cellText(dictionary(value), r.rect, r.json)); break;
    case Verb::at: print(atText(dictionary(value), r.x, r.y, r.json)); break;
    case Verb::state: print(stateText(dictionary(value), r.json)); break;
    case Verb::listScreens: print(screensText(qdbus_cast<QList<QVariantMap>>(value.value<QDBusArgument>()), r.json)); break;
    default: break;
    }
    return 0;
}

int runRemote(const Request& r, int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int status = flushed(callRunning(r, QDBusConnection::sessionBus()));
    // Qt's bus thread goes on reading messages (the bus's NameAcquired) while the program's statics
    // are torn down, and then warns about invalid types on stderr: everything is said, leave now.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

// The entry names this very executable, so a build run from its tree starts itself at login too.
int setAutostart(core::Switch mode)
{
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return fail("autostart: no home directory (HOME is not set)");
    if (mode == core::Switch::off) {
        auto error = xdg::disableAutostart(home);
        return error ? fail(QString::fromStdString(*error)) : 0;
    }
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return fail("autostart: cannot tell where this program is: " + QString::fromStdString(error.message()));
    if (auto problem = xdg::enableAutostart(home, executable.string()))
        return fail(QString::fromStdString(*problem));
    print(QString::fromStdString(xdg::autostartEntryPath(home)) + '\n');
    return 0;
}

std::vector<std::string> argumentsOf(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

}

int runTavelin(int argc, char** argv, const StartApplication& start)
{
    holdStandardDescriptors();
    auto parsed = parseCommandLine(argumentsOf(argc, argv));
    if (auto* error = std::get_if<UsageError>(&parsed))
        return fail(QString::fromStdString(error->message), usageStatus);
    const auto& request = std::get<Request>(parsed);
    switch (request.verb) {
    case Verb::start: return start(argc, argv);
    case Verb::help: std::fputs(helpText().c_str(), stdout); return flushed(0);
    case Verb::version: std::printf("tavelin %s\n", TAVELIN_VERSION); return flushed(0);
    case Verb::mcp: return mcp::serveMcp(argc, argv);
    case Verb::autostart: return flushed(setAutostart(request.mode));
    default: return runRemote(request, argc, argv);
    }
}

}
