// KWin's windows as our KWin script reports them over D-Bus: the script itself, and its report
// (the workspace's stacking order with each window's own properties) read into windows.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <QByteArray>
#include <QString>

#include <map>

namespace tavelin::wayland::windows {

// The script KWin runs: it sends a report to method on service at path (interface
// org.tavelin.KWinWindows1) at once and after every change that may move, hide or close a window.
QByteArray kwinScript(const QString& service, const QString& path, const QString& method);

// KWin names windows by UUID; Tavelin by a number, the same one for as long as the window lives.
class KWinIds {
public:
    uint32_t idFor(const QString& uuid);
    // Forgets the windows not in this report.
    void keepOnly(const std::vector<QString>& uuids);

private:
    std::map<QString, uint32_t> m_ids;
    uint32_t m_next = 1;
};

// Ordinary windows and dialogs only (no docks, desktops, menus); shown ones first, frontmost
// first. Empty for a report that is no JSON object.
std::vector<Window> parseKWinReport(const QByteArray& report, KWinIds& ids);

}
