// Desktop notifications through the session bus (org.freedesktop.Notifications), as tray
// applications tell their users what went wrong.
#include "shared/dbus/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tavelin::shared::dbus {

// org.freedesktop.Notifications.Notify takes app_name, replaces_id, app_icon, summary,
// body, actions, hints, expire_timeout (-1: the server's default).
void notify(const std::string& title, const std::string& body)
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto message = QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify");
    message << QStringLiteral("Tavelin") << uint(0) << QString() << QString::fromStdString(title)
            << QString::fromStdString(body) << QStringList() << QVariantMap() << int(-1);
    bus.send(message);
}

}
