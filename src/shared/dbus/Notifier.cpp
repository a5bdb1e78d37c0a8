// Desktop notifications through the session bus (org.freedesktop.Notifications), as tray
// applications tell their users what went wrong.
#include "shared/dbus/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <utility>
#include <vector>

namespace tavelin::shared::dbus {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

// A server with the "body-markup" capability reads the body as markup, where a bare & or < (a
// folder named "R&D", a path with <) breaks the text or hides part of it. It is asked once; what
// comes meanwhile waits, in order, and the question is out exactly while something waits.
struct Server {
    std::optional<bool> markup;
    std::vector<std::pair<QString, QString>> waiting;
};

Server& server()
{
    static Server s;
    return s;
}

// Notify takes app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
// (-1: the server's default).
void send(const QString& title, const QString& body)
{
    auto message = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    auto text = server().markup.value_or(false) ? body.toHtmlEscaped() : body;
    message << QStringLiteral("Tavelin") << uint(0) << QString() << title << text << QStringList() << QVariantMap()
            << int(-1);
    QDBusConnection::sessionBus().send(message);
}

void askForMarkup()
{
    auto call = QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities")));
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<QStringList> reply = *done;
        server().markup = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        for (auto& [title, body] : std::exchange(server().waiting, {}))
            send(title, body);
        // No answer (no server yet, one that does not know the call): what waited went as plain
        // text, and a server that comes later is asked again.
        if (!reply.isValid())
            server().markup.reset();
        done->deleteLater();
    });
}

}

void notify(const std::string& title, const std::string& body)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return;
    auto& s = server();
    if (s.markup) {
        send(QString::fromStdString(title), QString::fromStdString(body));
        return;
    }
    s.waiting.emplace_back(QString::fromStdString(title), QString::fromStdString(body));
    if (s.waiting.size() == 1)
        askForMarkup();
}

}
