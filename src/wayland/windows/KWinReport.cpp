// The KWin script's text and reading its reports.
#include "wayland/windows/KWinReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace tavelin::wayland::windows {

// KWin 6's scripting API: workspace.stackingOrder (bottom to top), the window's frameGeometry,
// internalId, pid, minimized, hidden, normalWindow, dialog, fullScreen, onAllDesktops, desktops;
// callDBus sends the report. Signals of windows already there and of new ones ask for a report.
QByteArray kwinScript(const QString& service, const QString& path, const QString& method)
{
    QString script = QStringLiteral(R"(
function describe(w) {
    var g = w.frameGeometry;
    return { internalId: w.internalId.toString(), pid: w.pid, x: g.x, y: g.y, width: g.width, height: g.height,
             minimized: w.minimized, hidden: w.hidden, normalWindow: w.normalWindow, dialog: w.dialog,
             fullScreen: w.fullScreen, onAllDesktops: w.onAllDesktops,
             desktops: w.desktops.map(function (d) { return d.id; }) };
}
function report() {
    var order = workspace.stackingOrder.map(describe);
    callDBus("%1", "%2", "org.tavelin.KWinWindows1", "%3",
             JSON.stringify({ currentDesktop: workspace.currentDesktop.id, stackingOrder: order }));
}
function watch(w) {
    [w.frameGeometryChanged, w.minimizedChanged, w.fullScreenChanged, w.desktopsChanged, w.hiddenChanged]
        .forEach(function (s) { if (s) s.connect(report); });
}
workspace.stackingOrder.forEach(watch);
workspace.windowAdded.connect(function (w) { watch(w); report(); });
workspace.windowRemoved.connect(report);
workspace.windowActivated.connect(report);
workspace.currentDesktopChanged.connect(report);
report();
)");
    return script.arg(service, path, method).toUtf8();
}

uint32_t KWinIds::idFor(const QString& uuid)
{
    auto [it, added] = m_ids.try_emplace(uuid, m_next);
    if (added)
        ++m_next;
    return it->second;
}

void KWinIds::keepOnly(const std::vector<QString>& uuids)
{
    std::erase_if(m_ids, [&](auto& entry) { return std::find(uuids.begin(), uuids.end(), entry.first) == uuids.end(); });
}

std::vector<Window> parseKWinReport(const QByteArray& report, KWinIds& ids)
{
    auto doc = QJsonDocument::fromJson(report);
    if (!doc.isObject())
        return {};
    auto root = doc.object();
    auto current = root["currentDesktop"].toString();
    std::vector<Window> windows;
    std::vector<QString> seen;
    auto order = root["stackingOrder"].toArray();
    // Read top to bottom: the list is bottom to top.
    for (auto it = order.end(); it != order.begin();) {
        auto w = (*--it).toObject();
        auto uuid = w["internalId"].toString();
        if (uuid.isEmpty() || !(w["normalWindow"].toBool() || w["dialog"].toBool()))
            continue;
        seen.push_back(uuid);
        Window window;
        window.id = ids.idFor(uuid);
        window.pid = w["pid"].toInt();
        window.frame = { w["x"].toDouble(), w["y"].toDouble(), w["width"].toDouble(), w["height"].toDouble() };
        bool onCurrent = w["onAllDesktops"].toBool() || w["desktops"].toArray().contains(current);
        window.shown = onCurrent && !w["minimized"].toBool() && !w["hidden"].toBool();
        window.fullscreen = w["fullScreen"].toBool();
        windows.push_back(window);
    }
    ids.keepOnly(seen);
    // KWin's stacking order already puts an active fullscreen window above the rest.
    std::stable_partition(windows.begin(), windows.end(), [](auto& w) { return w.shown; });
    return windows;
}

}
