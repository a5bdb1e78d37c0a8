// The five shortcuts through the desktop's GlobalShortcuts portal, where it has one: the desktop
// owns the keys and tells us when one fires.
#pragma once

#include "core/Platform.h"
#include "shared/dbus/PortalRequest.h"

#include <QDBusObjectPath>
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavelin::wayland::shortcuts {

// A shortcut's portal id, what the desktop shows for it, and the trigger it suggests (in the
// freedesktop shortcuts notation).
struct PortalShortcut {
    core::ShortcutKey key;
    const char* id;
    const char* description;
    const char* trigger;
};
const std::vector<PortalShortcut>& portalShortcuts();

class PortalShortcuts : public QObject {
    Q_OBJECT
public:
    // Asks for the portal at once; activated gets each key as the desktop fires it, problem one line
    // when the desktop refuses them. A desktop without the portal gets nothing: its own bindings
    // run the command line.
    PortalShortcuts(std::function<void(core::ShortcutKey)> activated, std::function<void(const std::string&)> problem);
    ~PortalShortcuts() override;

public slots:
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp, const QVariantMap& options);

private:
    void createSession();
    void bind(const QString& session);
    void refused(const QString& why);

    std::function<void(core::ShortcutKey)> m_activated;
    std::function<void(const std::string&)> m_problem;
    std::unique_ptr<shared::dbus::PortalResponseReceiver> m_pending;
    QString m_session;
};

}
