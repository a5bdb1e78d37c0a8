// Desktop notifications through the session bus (org.freedesktop.Notifications), as tray
// applications tell their users what went wrong.
#include "shared/dbus/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>
#include <vector>

namespace tavelin::shared::dbus {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

// A server with the "body-markup" capability reads the body as markup, where a bare & or < (a
// folder named "R&D", a path with <) breaks the text or hides part of it. It is asked once; what
// comes meanwhile waits, in order.
struct Server {
    enum class Markup { Unknown, Asking, Yes, No } markup = Markup::Unknown;
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
    auto text = server().markup == Server::Markup::Yes ? body.toHtmlEscaped() : body;
    message << QStringLiteral("Tavelin") << uint(0) << QString() << title << text << QStringList() << QVariantMap()
            << int(-1);
    QDBusConnection::sessionBus().send(message);
}

void askForMarkup()
{
    server().markup = Server::Markup::Asking;
    auto call = QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities")));
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<QStringList> reply = *done;
        bool markup = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        server().markup = markup ? Server::Markup::Yes : Server::Markup::No;
        for (auto& [title, body] : std::exchange(server().waiting, {}))
            send(title, body);
        // No answer (no server yet, one that does not know the call): what waited went as plain
        // text, and a server that comes later is asked again.
        if (!reply.isValid())
            server().markup = Server::Markup::Unknown;
        done->deleteLater();
    });
}

}

void notify(const std::string& title, const std::string& body)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return;
    auto& s = server();
    if (s.markup == Server::Markup::Yes || s.markup == Server::Markup::No) {
        send(QString::fromStdString(title), QString::fromStdString(body));
        return;
    }
    s.waiting.emplace_back(QString::fromStdString(title), QString::fromStdString(body));
    if (s.markup == Server::Markup::Unknown)
        askForMarkup();
}

}
