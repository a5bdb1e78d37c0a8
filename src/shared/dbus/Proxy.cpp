// Calling the running Tavelin and sorting its refusals.
#include "shared/dbus/Proxy.h"

#include "shared/dbus/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdlib>

namespace tavelin::shared::dbus {

namespace {
// A screenshot of a large screen takes a fraction of a second; nothing else takes long. Tests
// shorten the wait to show what a stuck Tavelin looks like.
int callTimeoutMs()
{
    const char* seconds = std::getenv("TAVELIN_CALL_TIMEOUT_SECONDS");
    double value = seconds ? std::strtod(seconds, nullptr) : 0;
    return value > 0 && value <= 3600 ? int(value * 1000) : 30000;
}

// The call was sent and is queued there: a stopped or busy Tavelin still carries it out later.
QString noAnswer(int timeoutMs)
{
    return QStringLiteral("Tavelin did not answer within %1 s (stopped or stuck?): the command may still take effect")
        .arg(timeoutMs / 1000.0);
}
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
    int timeoutMs = callTimeoutMs();
    auto reply = m_bus.call(message, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();
    auto name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return CallError { CallError::Kind::notRunning, notRunningMessage };
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        // The bus answers NoReply at once for a Tavelin that left it with the call unanswered; by
        // then its name is gone too, so the wait did not run out and nothing is queued any more.
        if (!isRunning())
            return CallError { CallError::Kind::refused, QStringLiteral("Tavelin ended before it answered (it quit or crashed)") };
        return CallError { CallError::Kind::refused, noAnswer(timeoutMs) };
    }
    if (name == QLatin1String(badArgumentError))
        return CallError { CallError::Kind::badArgument, reply.errorMessage() };
    return CallError { CallError::Kind::refused, reply.errorMessage() };
}

}
