// Reading Hyprland's JSON replies and event lines.
#include "wayland/windows/HyprlandReplies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace tavelin::wayland::windows {

namespace {

QSet<int> shownWorkspaces(const QByteArray& monitors)
{
    QSet<int> shown;
    for (auto value : QJsonDocument::fromJson(monitors).array()) {
        auto monitor = value.toObject();
        shown.insert(monitor["activeWorkspace"].toObject()["id"].toInt(0));
        // A special workspace shown over a monitor hides nothing of it but what it covers.
        if (int special = monitor["specialWorkspace"].toObject()["id"].toInt(0))
            shown.insert(special);
    }
    shown.remove(0);
    return shown;
}

// Fullscreen is a bool in older replies and a mode number in newer ones.
bool isFullscreen(const QJsonValue& value) { return value.isBool() ? value.toBool() : value.toInt() != 0; }

}

uint32_t hyprlandWindowId(const QString& address)
{
    bool ok = false;
    auto value = address.startsWith("0x") ? address.mid(2).toULongLong(&ok, 16) : 0;
    return ok ? uint32_t(value & 0xffffffffu) : 0;
}

std::vector<Window> parseHyprlandClients(const QByteArray& clients, const QByteArray& monitors, int border)
{
    auto shown = shownWorkspaces(monitors);
    struct Ranked {
        Window window;
        int layer; // 0 fullscreen, 1 floating, 2 tiled
        int focusOrder;
    };
    std::vector<Ranked> ranked;
    for (auto value : QJsonDocument::fromJson(clients).array()) {
        auto c = value.toObject();
        auto at = c["at"].toArray(), size = c["size"].toArray();
        uint32_t id = hyprlandWindowId(c["address"].toString());
        if (!id || !c["mapped"].toBool(true) || at.size() != 2 || size.size() != 2)
            continue;
        Window w;
        w.id = id;
        w.pid = c["pid"].toInt();
        w.frame = { at[0].toDouble() - border, at[1].toDouble() - border, size[0].toDouble() + 2 * border,
            size[1].toDouble() + 2 * border };
        w.floating = c["floating"].toBool();
        w.fullscreen = isFullscreen(c["fullscreen"]);
        w.shown = !c["hidden"].toBool() && (c["pinned"].toBool() || shown.contains(c["workspace"].toObject()["id"].toInt()));
        int layer = w.fullscreen ? 0 : w.floating ? 1 : 2;
        ranked.push_back({ w, layer, c["focusHistoryID"].toInt(1 << 20) });
    }
    // Hyprland lists windows in no stacking order: focus raises a floating one, so the most recently
    // focused of a layer is taken to be on top.
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.window.shown != b.window.shown)
            return a.window.shown;
        return a.layer != b.layer ? a.layer < b.layer : a.focusOrder < b.focusOrder;
    });
    std::vector<Window> windows;
    for (auto& r : ranked)
        windows.push_back(r.window);
    return windows;
}

int parseHyprlandOption(const QByteArray& reply, int fallback)
{
    auto value = QJsonDocument::fromJson(reply).object()["int"];
    return value.isDouble() ? value.toInt() : fallback;
}

bool isHyprlandWindowEvent(const QByteArray& line)
{
    static const QList<QByteArray> events = { "openwindow", "closewindow", "movewindow", "movewindowv2",
        "workspace", "workspacev2", "focusedmon", "fullscreen", "changefloatingmode", "activespecial",
        "activewindowv2", "pin", "monitorremoved", "monitoradded" };
    auto separator = line.indexOf(">>");
    return separator > 0 && events.contains(line.left(separator));
}

}
