// CreateSession, then BindShortcuts with the five, each answered by a Request's Response; from
// then on every Activated signal of our session runs its key's command.
#include "wayland/shortcuts/PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace tavelin::wayland::shortcuts {

namespace {

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// One entry of BindShortcuts' a(sa{sv}).
struct Entry {
    QString id;
    QVariantMap options;
};

}

}

Q_DECLARE_METATYPE(tavelin::wayland::shortcuts::Entry)

namespace tavelin::wayland::shortcuts {

namespace {

QDBusArgument& operator<<(QDBusArgument& arg, const Entry& entry)
{
    arg.beginStructure();
    arg << entry.id << entry.options;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, Entry& entry)
{
    arg.beginStructure();
    arg >> entry.id >> entry.options;
    arg.endStructure();
    return arg;
}

QDBusMessage portalCall(const QString& method)
{
    return QDBusMessage::createMethodCall(shared::dbus::portalService, shared::dbus::portalPath, shortcutsInterface, method);
}

}

const std::vector<PortalShortcut>& portalShortcuts()
{
    static const std::vector<PortalShortcut> all = {
        { core::ShortcutKey::g, "grid-toggle", "Show or hide the grid", "LOGO+SHIFT+g" },
        { core::ShortcutKey::w, "pick-window", "Pick the window the grid follows", "LOGO+SHIFT+w" },
        { core::ShortcutKey::l, "labels-toggle", "Show or hide cell names", "LOGO+SHIFT+l" },
        { core::ShortcutKey::s, "screenshot", "Screenshot with the grid", "LOGO+SHIFT+s" },
        { core::ShortcutKey::a, "adjust-toggle", "Adjust the cell size", "LOGO+SHIFT+a" },
    };
    return all;
}

// The version property answers only where the portal has a backend for the interface.
PortalShortcuts::PortalShortcuts(std::function<void(core::ShortcutKey)> activated,
    std::function<void(const std::string&)> problem)
    : m_activated(std::move(activated))
    , m_problem(std::move(problem))
{
    qDBusRegisterMetaType<Entry>();
    qDBusRegisterMetaType<QList<Entry>>();
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto get = QDBusMessage::createMethodCall(shared::dbus::portalService, shared::dbus::portalPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (!watcher->isError())
            createSession();
    });
}

PortalShortcuts::~PortalShortcuts()
{
    if (m_session.isEmpty())
        return;
    QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(shared::dbus::portalService, m_session,
        QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
}

void PortalShortcuts::createSession()
{
    auto token = shared::dbus::portalToken();
    auto call = portalCall(QStringLiteral("CreateSession"));
    call << QVariantMap { { QStringLiteral("handle_token"), token },
        { QStringLiteral("session_handle_token"), shared::dbus::portalToken() } };
    m_pending = shared::dbus::callPortal(call, token, [this](const shared::dbus::PortalResponse& response) {
        auto session = response.results.value(QStringLiteral("session_handle")).toString();
        if (response.code != 0 || session.isEmpty())
            refused(shared::dbus::portalFailure(QStringLiteral("a shortcuts session"), response));
        else
            bind(session);
    }, [this](const QString& why) { refused(why); });
}

// Listening for Activated before binding: a key pressed the moment it is bound still counts.
void PortalShortcuts::bind(const QString& session)
{
    m_session = session;
    QDBusConnection::sessionBus().connect(shared::dbus::portalService, shared::dbus::portalPath, shortcutsInterface,
        QStringLiteral("Activated"), this, SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QList<Entry> entries;
    for (const auto& s : portalShortcuts())
        entries.push_back({ QString::fromLatin1(s.id),
            { { QStringLiteral("description"), QString::fromLatin1(s.description) },
                { QStringLiteral("preferred_trigger"), QString::fromLatin1(s.trigger) } } });
    auto token = shared::dbus::portalToken();
    auto call = portalCall(QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(entries) << QString()
         << QVariantMap { { QStringLiteral("handle_token"), token } };
    m_pending = shared::dbus::callPortal(call, token, [this](const shared::dbus::PortalResponse& response) {
        if (response.code != 0)
            refused(shared::dbus::portalFailure(QStringLiteral("binding the shortcuts"), response));
    }, [this](const QString& why) { refused(why); });
}

void PortalShortcuts::refused(const QString& why)
{
    m_problem("the desktop's shortcuts portal did not take Tavelin's shortcuts (" + why.toStdString()
        + "): bind them to the command line in the desktop's settings");
}

void PortalShortcuts::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong, const QVariantMap&)
{
    if (session.path() != m_session)
        return;
    for (const auto& s : portalShortcuts())
        if (id == QLatin1String(s.id))
            m_activated(s.key);
}

}
