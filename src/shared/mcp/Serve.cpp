// Setting up the MCP server's process: a Qt core application, the session bus, stdio.
#include "shared/mcp/Serve.h"

#include "shared/mcp/GridTools.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>
#include <unistd.h>

namespace tavelin::shared::mcp {

int serveMcp(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    auto bus = QDBusConnection::sessionBus();
    // Serve all the same: every tool call then says why it cannot work, where the agent reads it.
    if (!bus.isConnected())
        std::fprintf(stderr, "tavelin mcp: no session bus: %s\n", bus.lastError().message().toLocal8Bit().constData());
    GridTools tools { dbus::Proxy(bus) };
    McpServer server(tools);
    int status = server.serve();
    // As the command line: Qt's bus thread must not outlive the statics it uses.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

}
