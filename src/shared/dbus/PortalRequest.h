// Calls to the desktop's portals (xdg-desktop-portal): a method that answers later, on the
// Request object it names, with one Response signal.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace tavelin::shared::dbus {

inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A Request's Response: 0 done, 1 cancelled by the user, 2 ended otherwise.
struct PortalResponse {
    uint code = 2;
    QVariantMap results;
};

// A fresh token for handle_token and session_handle_token options, unique within this process.
QString portalToken();
// Where the portal will place the Request made with that token by this connection.
QString portalRequestPath(const QDBusConnection& bus, const QString& token);
// One line on a failed portal call or a response other than 0, for the user.
QString portalFailure(const QString& what, const PortalResponse& response);

// Receives one Response; the slot's signature is what QtDBus matches the signal's arguments with.
class PortalResponseReceiver : public QObject {
    Q_OBJECT
public:
    explicit PortalResponseReceiver(std::function<void(const PortalResponse&)> onResponse)
        : m_onResponse(std::move(onResponse))
    {
    }
    // Listens on the Request at path; true once the bus took the match.
    bool listen(QDBusConnection& bus, const QString& path);
    void stop();

public slots:
    void response(uint code, const QVariantMap& results);

private:
    std::function<void(const PortalResponse&)> m_onResponse;
    std::optional<QDBusConnection> m_bus;
    QString m_path;
};

// Sends call (whose options carry handle_token token) and waits for its Response, blocking this
// thread up to timeoutMs; the answer comes in on a thread of its own, so nothing else of ours runs
// meanwhile. None with failure set when the call fails or the portal stays silent.
std::optional<PortalResponse> callPortalAndWait(const QDBusMessage& call, const QString& token, int timeoutMs,
    QString& failure);

// Sends call and gives its Response to done on this thread's event loop, or failure's text to failed.
// The receiver it returns keeps listening until it goes.
std::unique_ptr<PortalResponseReceiver> callPortal(const QDBusMessage& call, const QString& token,
    std::function<void(const PortalResponse&)> done, std::function<void(const QString&)> failed);

}
