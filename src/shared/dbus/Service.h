// The running Tavelin on the session bus: org.tavelin.Tavelin1 at /org/tavelin/Tavelin, one method per
// command, State and StateChanged; refusals come back as D-Bus errors with a one-line message.
#pragma once

#include "core/CommandSet.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QVariantMap>

namespace tavelin::shared::dbus {

class Service final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavelin.Tavelin1")

public:
    explicit Service(core::CommandSet& commands);
    ~Service() override;

    enum class Claim { ours, taken, noBus };
    // Exports the object, then asks for the well-known name without queueing: only one Tavelin
    // per session gets it. takenBy receives the holder's pid when the name is taken.
    Claim claim(QDBusConnection bus, qint64* takenBy = nullptr);
    // Gives the name back and waits for the bus to confirm, so replies already sent go out first.
    void release();

    static QVariantMap stateMap(const core::GridSnapshot&);

public Q_SLOTS:
    void Grid(const QString& mode);
    void Labels(const QString& mode);
    void Adjust(const QString& mode);
    void Pick();
    void Follow(uint window);
    void FullScreen();
    void Size(double width, double height);
    void Color(const QString& name);
    QList<QVariantMap> Screens();
    void Screen(const QString& name);
    QString Shot();
    QByteArray ShotPng();
    QVariantMap Cell(const QString& name);
    QVariantMap At(qlonglong x, qlonglong y);
    QVariantMap State();
    void Quit();

Q_SIGNALS:
    void StateChanged(const QVariantMap& state);

private:
    // True when the outcome is a refusal, which is then the reply.
    bool refuse(const core::CommandError& error);
    template<typename T>
    bool refused(const core::Outcome<T>& outcome)
    {
        return !outcome.ok() && refuse(outcome.error());
    }
    void onOff(const QString& mode, core::Outcome<> (core::CommandSet::*command)(core::Switch));

    core::CommandSet& m_commands;
    std::optional<QDBusConnection> m_bus;
};

}
