// Loading the script into KWin, hearing its reports, unloading it again.
#include "wayland/windows/KWinWindows.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

namespace tavelin::wayland::windows {

namespace {
constexpr const char* kwinService = "org.kde.KWin";
constexpr const char* objectPath = "/org/tavelin/KWinWindows";
// One per user session: a later Tavelin replaces what an earlier one left.
constexpr const char* pluginName = "tavelin-windows";

QDBusMessage scripting(const char* method)
{
    return QDBusMessage::createMethodCall(kwinService, "/Scripting", "org.kde.kwin.Scripting", method);
}
}

KWinWindows::KWinWindows()
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots) || !load())
        std::fprintf(stderr, "tavelin: KWin did not take the script that tells where windows are\n");
}

KWinWindows::~KWinWindows()
{
    auto bus = QDBusConnection::sessionBus();
    bus.call(scripting("unloadScript") << QString(pluginName), QDBus::Block, 2000);
    bus.unregisterObject(objectPath);
    if (!m_scriptPath.isEmpty())
        QFile::remove(m_scriptPath);
}

bool KWinWindows::load()
{
    auto bus = QDBusConnection::sessionBus();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_scriptPath = folder + "/tavelin-kwin-windows.js";
    QFile file(m_scriptPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(kwinScript(bus.baseService(), objectPath, "report")) < 0)
        return false;
    file.close();
    bus.call(scripting("unloadScript") << QString(pluginName), QDBus::Block, 2000);
    QDBusReply<int> id = bus.call(scripting("loadScript") << m_scriptPath << QString(pluginName), QDBus::Block, 2000);
    if (!id.isValid() || id.value() < 0)
        return false;
    // The script's object: /Scripting/Script<id> since KWin 6, /<id> before.
    for (auto path : { QString("/Scripting/Script%1").arg(id.value()), QString("/%1").arg(id.value()) }) {
        auto run = QDBusMessage::createMethodCall(kwinService, path, "org.kde.kwin.Script", "run");
        if (bus.call(run, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return false;
}

void KWinWindows::report(const QString& json)
{
    m_windows = parseKWinReport(json.toUtf8(), m_ids);
    if (m_changed)
        m_changed();
}

}
