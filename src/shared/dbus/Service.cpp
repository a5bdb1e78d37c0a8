// The session-bus methods: each unpacks its arguments, runs the command and packs its answer.
#include "shared/dbus/Service.h"

#include "shared/dbus/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>

namespace tavelin::shared::dbus {

namespace {

QVariantMap rectMap(const core::PixelRect& r)
{
    return { { "x", qlonglong(r.x) }, { "y", qlonglong(r.y) }, { "width", qlonglong(r.width) },
        { "height", qlonglong(r.height) } };
}

QVariantMap placeMap(const core::CellPlace& place)
{
    auto map = rectMap(place.rect);
    map.insert("cell", QString::fromStdString(place.name));
    map.insert("centerX", qlonglong(place.centre.x));
    map.insert("centerY", qlonglong(place.centre.y));
    return map;
}

const char* errorName(core::CommandError::Kind kind)
{
    switch (kind) {
    case core::CommandError::Kind::badArgument: return badArgumentError;
    case core::CommandError::Kind::notFound: return notFoundError;
    case core::CommandError::Kind::failed: break;
    }
    return failedError;
}

}

Service::Service(core::CommandSet& commands)
    : m_commands(commands)
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    m_commands.watchState([this](const core::GridSnapshot& state) { Q_EMIT StateChanged(stateMap(state)); });
}

Service::~Service()
{
    m_commands.watchState(nullptr);
    release();
}

Service::Claim Service::claim(QDBusConnection bus, qint64* takenBy)
{
    if (!bus.isConnected())
        return Claim::noBus;
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        return Claim::taken;
    auto reply = bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_bus = bus;
        return Claim::ours;
    }
    bus.unregisterObject(objectPath);
    if (takenBy) {
        auto pid = bus.interface()->servicePid(serviceName);
        *takenBy = pid.isValid() ? qint64(pid.value()) : 0;
    }
    return Claim::taken;
}

void Service::release()
{
    if (!m_bus)
        return;
    m_bus->unregisterObject(objectPath);
    m_bus->interface()->unregisterService(serviceName);
    m_bus.reset();
}

QVariantMap Service::stateMap(const core::GridSnapshot& s)
{
    return {
        { "visible", s.visible },
        { "labels", s.labels },
        { "adjusting", s.adjusting },
        { "picking", s.picking },
        { "target", s.window ? QStringLiteral("window") : QStringLiteral("screen") },
        { "window", uint(s.window.value_or(0)) },
        { "screen", QString::fromStdString(s.screen) },
        { "cellWidth", s.cellWidth },
        { "cellHeight", s.cellHeight },
        { "color", QString::fromStdString(s.color) },
        { "frame", rectMap(s.frame) },
        { "scale", s.scale },
        { "columns", qlonglong(s.columns) },
        { "rows", qlonglong(s.rows) },
    };
}

bool Service::refuse(const core::CommandError& error)
{
    sendErrorReply(QString::fromLatin1(errorName(error.kind)), QString::fromStdString(error.message));
    return true;
}

void Service::onOff(const QString& mode, core::Outcome<> (core::CommandSet::*command)(core::Switch))
{
    auto parsed = core::parseSwitch(mode.toStdString());
    if (!parsed) {
        refuse({ core::CommandError::Kind::badArgument, QStringLiteral("\"%1\" is not on, off or toggle").arg(mode).toStdString() });
        return;
    }
    refused((m_commands.*command)(*parsed));
}

void Service::Grid(const QString& mode) { onOff(mode, &core::CommandSet::grid); }
void Service::Labels(const QString& mode) { onOff(mode, &core::CommandSet::labels); }
void Service::Adjust(const QString& mode) { onOff(mode, &core::CommandSet::adjust); }
void Service::Pick() { refused(m_commands.pick()); }
void Service::Follow(uint window) { refused(m_commands.follow(window)); }
void Service::FullScreen() { refused(m_commands.fullScreen()); }
void Service::Size(double width, double height) { refused(m_commands.size(width, height)); }
void Service::Color(const QString& name) { refused(m_commands.color(name.toStdString())); }
void Service::Screen(const QString& name) { refused(m_commands.screen(name.toStdString())); }

QList<QVariantMap> Service::Screens()
{
    QList<QVariantMap> list;
    for (auto& s : m_commands.screens()) {
        auto map = rectMap(s.frame);
        map.insert("name", QString::fromStdString(s.name));
        map.insert("primary", s.primary);
        map.insert("grid", s.grid);
        list.append(map);
    }
    return list;
}

QString Service::Shot()
{
    auto outcome = m_commands.shot();
    return refused(outcome) ? QString() : QString::fromStdString(outcome.value());
}

QByteArray Service::ShotPng()
{
    auto outcome = m_commands.shotPng();
    if (refused(outcome))
        return {};
    const auto& png = outcome.value();
    return QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size()));
}

QVariantMap Service::Cell(const QString& name)
{
    auto outcome = m_commands.cell(name.toStdString());
    return refused(outcome) ? QVariantMap() : placeMap(outcome.value());
}

QVariantMap Service::At(qlonglong x, qlonglong y)
{
    auto outcome = m_commands.at(x, y);
    return refused(outcome) ? QVariantMap() : placeMap(outcome.value());
}

QVariantMap Service::State() { return stateMap(m_commands.state()); }

// The reply goes out before the quit, so the caller hears that it worked.
void Service::Quit()
{
    setDelayedReply(true);
    connection().send(message().createReply());
    m_commands.quit();
}

}
