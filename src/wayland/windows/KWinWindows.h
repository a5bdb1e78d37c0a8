// The window source on KWin: a script of ours loaded into KWin over D-Bus (org.kde.kwin.Scripting)
// reports the windows back to an object of ours on the session bus whenever they change.
#pragma once

#include "wayland/windows/KWinReport.h"
#include "wayland/windows/WindowSource.h"

#include <QObject>

namespace tavelin::wayland::windows {

class KWinWindows final : public QObject, public WindowSource {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavelin.KWinWindows1")

public:
    KWinWindows();
    ~KWinWindows() override;
    // As last reported: empty until KWin ran the script.
    std::vector<Window> windows() override { return m_windows; }
    void watch(std::function<void()> changed) override { m_changed = std::move(changed); }

public Q_SLOTS:
    // Called by the script in KWin.
    Q_SCRIPTABLE void report(const QString& json);

private:
    bool load();

    std::vector<Window> m_windows;
    KWinIds m_ids;
    std::function<void()> m_changed;
    QString m_scriptPath;
};

}
