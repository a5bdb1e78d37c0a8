// Portal requests: the Response is matched before the call goes out, so a quick portal cannot
// answer before anyone listens (the bus handles one connection's messages in order).
#include "shared/dbus/PortalRequest.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <unistd.h>

namespace tavelin::shared::dbus {

namespace {
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
}

QString portalToken()
{
    static std::atomic<unsigned> next { 0 };
    return QStringLiteral("tavelin%1_%2").arg(getpid()).arg(++next);
}

// The portal's documented rule: the sender's unique name without its ':' and with '.' as '_'.
QString portalRequestPath(const QDBusConnection& bus, const QString& token)
{
    auto sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString portalFailure(const QString& what, const PortalResponse& response)
{
    if (response.code == 1)
        return what + QStringLiteral(" was refused on this desktop");
    return what + QStringLiteral(" failed in the desktop's portal");
}

bool PortalResponseReceiver::listen(QDBusConnection& bus, const QString& path)
{
    m_bus = bus;
    m_path = path;
    return bus.connect(portalService, path, requestInterface, QStringLiteral("Response"), this,
        SLOT(response(uint, QVariantMap)));
}

void PortalResponseReceiver::stop()
{
    if (m_bus)
        m_bus->disconnect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
            SLOT(response(uint, QVariantMap)));
    m_bus.reset();
}

void PortalResponseReceiver::response(uint code, const QVariantMap& results)
{
    stop();
    if (m_onResponse)
        m_onResponse({ code, results });
}

std::optional<PortalResponse> callPortalAndWait(const QDBusMessage& call, const QString& token, int timeoutMs,
    QString& failure)
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        failure = QStringLiteral("there is no session bus to reach the desktop's portal on");
        return std::nullopt;
    }
    // Written by the receiver's thread before it releases the semaphore, read here after.
    PortalResponse answer;
    QSemaphore answered;
    QThread thread;
    auto* receiver = new PortalResponseReceiver([&](const PortalResponse& r) {
        answer = r;
        answered.release();
    });
    receiver->moveToThread(&thread);
    auto path = portalRequestPath(bus, token);
    bool listening = receiver->listen(bus, path);
    thread.start();
    std::optional<PortalResponse> result;
    if (!listening) {
        failure = QStringLiteral("the session bus would not pass on the portal's answer");
    } else if (auto reply = bus.call(call, QDBus::Block, timeoutMs); reply.type() == QDBusMessage::ErrorMessage) {
        failure = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    } else if (!answered.tryAcquire(1, timeoutMs)) {
        failure = QStringLiteral("the desktop's portal did not answer");
        bus.call(QDBusMessage::createMethodCall(portalService, path, requestInterface, QStringLiteral("Close")),
            QDBus::NoBlock);
    } else {
        result = answer;
    }
    // Ended on its own thread, after any answer already on its way there: nothing reaches our
    // stack once this returns.
    QMetaObject::invokeMethod(
        receiver, [receiver] {
            receiver->stop();
            delete receiver;
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    return result;
}

std::unique_ptr<PortalResponseReceiver> callPortal(const QDBusMessage& call, const QString& token,
    std::function<void(const PortalResponse&)> done, std::function<void(const QString&)> failed)
{
    auto bus = QDBusConnection::sessionBus();
    auto receiver = std::make_unique<PortalResponseReceiver>(std::move(done));
    if (!bus.isConnected() || !receiver->listen(bus, portalRequestPath(bus, token))) {
        failed(QStringLiteral("there is no session bus to reach the desktop's portal on"));
        return receiver;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), receiver.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, receiver.get(),
        [watcher, r = receiver.get(), failed = std::move(failed)] {
            watcher->deleteLater();
            if (watcher->isError()) {
                r->stop();
                failed(watcher->error().message());
            }
        });
    return receiver;
}

}
