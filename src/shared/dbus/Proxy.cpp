// Calling the running Tavelin and sorting its refusals.
#include "shared/dbus/Proxy.h"

#include "shared/dbus/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace tavelin::shared::dbus {

namespace {
// A screenshot of a large screen takes a fraction of a second; nothing else takes long.
constexpr int callTimeoutMs = 30000;
}

bool Proxy::isRunning() const
{
    auto* interface = m_bus.interface();
    return interface && interface->isServiceRegistered(serviceName);
}

std::variant<QVariantList, CallError> Proxy::call(const char* method, const QVariantList& arguments) const
{
    auto message = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, QString::fromLatin1(method));
    message.setArguments(arguments);
    message.setAutoStartService(false);
    auto reply = m_bus.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();
    auto name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return CallError { CallError::Kind::notRunning, notRunningMessage };
    if (name == QLatin1String(badArgumentError))
        return CallError { CallError::Kind::badArgument, reply.errorMessage() };
    return CallError { CallError::Kind::refused, reply.errorMessage() };
}

}
