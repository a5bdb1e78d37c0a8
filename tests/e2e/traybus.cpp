// Plays the desktop's StatusNotifier side for end-to-end tests: serves org.kde.StatusNotifierWatcher
// (with a registered host, so Qt picks the D-Bus tray), lists the items, and reads or clicks an item's
// com.canonical.dbusmenu menu the way a panel does. Output is JSON or plain lines for the Python harness.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int callTimeoutMs = 5000;

// The watcher: items register by bus name (or by object path on the caller's connection), a host
// is always reported as registered, and items whose connection closes are dropped.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(QDBusConnection bus)
        : m_bus(bus)
        , m_closed(this)
    {
        m_closed.setConnection(bus);
        m_closed.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&m_closed, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::dropService);
    }

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        QString service = serviceOrPath.startsWith(QLatin1Char('/')) ? message.service() : serviceOrPath;
        QString path = serviceOrPath.startsWith(QLatin1Char('/')) ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        QString entry = service + path;
        if (m_items.contains(entry))
            return;
        m_items.append(entry);
        m_closed.addWatchedService(service);
        emit StatusNotifierItemRegistered(entry);
    }

    void RegisterStatusNotifierHost(const QString&) { }

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    void dropService(const QString& service)
    {
        for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
            if (m_items[i].startsWith(service + QLatin1Char('/'))) {
                emit StatusNotifierItemUnregistered(m_items[i]);
                m_items.removeAt(i);
            }
        }
        m_closed.removeWatchedService(service);
    }

    QDBusConnection m_bus;
    QDBusServiceWatcher m_closed;
    QStringList m_items;
};

int fail(const QString& what)
{
    std::fprintf(stderr, "traybus: %s\n", qPrintable(what));
    return 1;
}

void printJson(const QJsonValue& value)
{
    QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    std::printf("%s\n", doc.toJson(QJsonDocument::Compact).constData());
}

QJsonValue toJson(const QVariant& value);

// Walks a D-Bus value of any signature; structs become arrays, dicts objects, byte arrays sizes.
QJsonValue argumentToJson(const QDBusArgument& arg)
{
    switch (arg.currentType()) {
    case QDBusArgument::BasicType:
    case QDBusArgument::VariantType: {
        QVariant v = arg.asVariant();
        if (v.canConvert<QDBusVariant>())
            v = v.value<QDBusVariant>().variant();
        return toJson(v);
    }
    case QDBusArgument::ArrayType: {
        if (arg.currentSignature() == QLatin1String("ay")) {
            QByteArray bytes;
            arg >> bytes;
            return QJsonObject { { QStringLiteral("bytes"), bytes.size() } };
        }
        QJsonArray list;
        arg.beginArray();
        while (!arg.atEnd())
            list.append(argumentToJson(arg));
        arg.endArray();
        return list;
    }
    case QDBusArgument::StructureType: {
        QJsonArray fields;
        arg.beginStructure();
        while (!arg.atEnd())
            fields.append(argumentToJson(arg));
        arg.endStructure();
        return fields;
    }
    case QDBusArgument::MapType: {
        QJsonObject map;
        arg.beginMap();
        while (!arg.atEnd()) {
            arg.beginMapEntry();
            QVariant key = arg.asVariant();
            QJsonValue value = argumentToJson(arg);
            arg.endMapEntry();
            map.insert(key.toString(), value);
        }
        arg.endMap();
        return map;
    }
    default:
        return QJsonValue();
    }
}

QJsonValue toJson(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>() && value.metaType() == QMetaType::fromType<QDBusArgument>())
        return argumentToJson(value.value<QDBusArgument>());
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return toJson(value.value<QDBusVariant>().variant());
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.metaType() == QMetaType::fromType<QByteArray>())
        return QJsonObject { { QStringLiteral("bytes"), value.toByteArray().size() } };
    return QJsonValue::fromVariant(value);
}

QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
    const QVariantList& arguments = {})
{
    auto message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, callTimeoutMs);
}

bool failed(const QDBusMessage& reply) { return reply.type() != QDBusMessage::ReplyMessage; }

int serveWatcher(QCoreApplication& app)
{
    auto bus = QDBusConnection::sessionBus();
    Watcher watcher(bus);
    if (!bus.registerObject(watcherPath, &watcher,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals))
        return fail(QStringLiteral("cannot register the watcher object"));
    if (!bus.registerService(watcherService))
        return fail(QStringLiteral("cannot own ") + watcherService);
    return app.exec();
}

// One line per registered item: bus name, object path, process id of its connection.
int listItems()
{
    auto reply = call(watcherService, watcherPath, propertiesInterface, QStringLiteral("Get"),
        { watcherService, QStringLiteral("RegisteredStatusNotifierItems") });
    if (failed(reply))
        return fail(reply.errorMessage());
    auto items = reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
    for (const auto& entry : items) {
        auto slash = entry.indexOf(QLatin1Char('/'));
        auto service = entry.left(slash);
        auto pid = QDBusConnection::sessionBus().interface()->servicePid(service);
        std::printf("%s %s %u\n", qPrintable(service), qPrintable(entry.mid(slash)), pid.isValid() ? pid.value() : 0u);
    }
    return 0;
}

int itemProperties(const QString& service, const QString& path)
{
    auto reply = call(service, path, propertiesInterface, QStringLiteral("GetAll"), { itemInterface });
    if (failed(reply))
        return fail(reply.errorMessage());
    printJson(toJson(reply.arguments().value(0)));
    return 0;
}

QString menuPath(const QString& service, const QString& itemPath)
{
    auto reply = call(service, itemPath, propertiesInterface, QStringLiteral("Get"), { itemInterface, QStringLiteral("Menu") });
    if (failed(reply))
        return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
}

// The whole menu tree as a panel sees it when it opens the menu: AboutToShow, then GetLayout.
int readMenu(const QString& service, const QString& itemPath)
{
    auto path = menuPath(service, itemPath);
    if (path.isEmpty())
        return fail(QStringLiteral("the item has no Menu property"));
    call(service, path, menuInterface, QStringLiteral("AboutToShow"), { 0 });
    auto reply = call(service, path, menuInterface, QStringLiteral("GetLayout"), { 0, -1, QStringList() });
    if (failed(reply) || reply.arguments().size() < 2)
        return fail(reply.errorMessage());
    QJsonArray layout = argumentToJson(reply.arguments().value(1).value<QDBusArgument>()).toArray();
    printJson(QJsonObject {
        { QStringLiteral("menu"), path },
        { QStringLiteral("revision"), qint64(reply.arguments().value(0).toUInt()) },
        { QStringLiteral("layout"), layout },
    });
    return 0;
}

// A click on one row, as a panel sends it: Event(id, "clicked", variant, timestamp).
int clickRow(const QString& service, const QString& itemPath, int id)
{
    auto path = menuPath(service, itemPath);
    if (path.isEmpty())
        return fail(QStringLiteral("the item has no Menu property"));
    auto data = QVariant::fromValue(QDBusVariant(QVariant(0)));
    auto reply = call(service, path, menuInterface, QStringLiteral("Event"),
        { id, QStringLiteral("clicked"), data, uint(QDateTime::currentSecsSinceEpoch()) });
    if (failed(reply))
        return fail(reply.errorMessage());
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: traybus watch | items | props SERVICE PATH | menu SERVICE PATH | click SERVICE PATH ID\n");
    return 2;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    auto args = app.arguments();
    if (args.size() < 2)
        return usage();
    if (!QDBusConnection::sessionBus().isConnected())
        return fail(QStringLiteral("no session bus"));
    const auto& command = args[1];
    if (command == QLatin1String("watch") && args.size() == 2)
        return serveWatcher(app);
    if (command == QLatin1String("items") && args.size() == 2)
        return listItems();
    if (command == QLatin1String("props") && args.size() == 4)
        return itemProperties(args[2], args[3]);
    if (command == QLatin1String("menu") && args.size() == 4)
        return readMenu(args[2], args[3]);
    if (command == QLatin1String("click") && args.size() == 5)
        return clickRow(args[2], args[3], args[4].toInt());
    return usage();
}

#include "traybus.moc"
