// The client side of the session-bus interface: one method call to the running Tavelin.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantList>

#include <variant>

namespace tavelin::shared::dbus {

struct CallError {
    enum class Kind { notRunning, badArgument, refused };
    Kind kind = Kind::refused;
    QString message;
};

class Proxy {
public:
    explicit Proxy(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }

    bool isRunning() const;
    // The reply's arguments. Never starts Tavelin by surprise, even if some service file could.
    std::variant<QVariantList, CallError> call(const char* method, const QVariantList& arguments = {}) const;
    QDBusConnection& bus() { return m_bus; }

private:
    QDBusConnection m_bus;
};

inline const QString notRunningMessage = QStringLiteral("Tavelin is not running in this session (start it with: tavelin)");

}
