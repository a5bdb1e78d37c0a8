// Reading sway's get_tree reply: outputs hold workspaces, workspaces hold tiled and floating
// containers, and the ones with a pid or an app are windows.
#include "wayland/windows/SwayTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace tavelin::wayland::windows {

namespace {

core::Rect rectOf(const QJsonValue& value)
{
    auto o = value.toObject();
    return { o["x"].toDouble(), o["y"].toDouble(), o["width"].toDouble(), o["height"].toDouble() };
}

core::Rect unite(const core::Rect& a, const core::Rect& b)
{
    double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    double right = std::max(a.x + a.width, b.x + b.width), bottom = std::max(a.y + a.height, b.y + b.height);
    return { left, top, right - left, bottom - top };
}

bool isWindow(const QJsonObject& node)
{
    return node.contains("app_id") || (node["window"].isDouble() && node["window"].toDouble() > 0)
        || node["pid"].toInt() > 0;
}

// The rectangle with its title bar, which sway gives relative to the parent node.
core::Rect frameOf(const QJsonObject& node, const core::Rect& parent)
{
    auto rect = rectOf(node["rect"]);
    auto deco = rectOf(node["deco_rect"]);
    if (deco.width <= 0 || deco.height <= 0)
        return rect;
    return unite(rect, { parent.x + deco.x, parent.y + deco.y, deco.width, deco.height });
}

// One workspace's windows, in the order they stack: tiled ones, then floating ones bottom to top,
// then the fullscreen one.
struct Collector {
    std::vector<Window> stack;
    bool workspaceShown = true;

    void walk(const QJsonObject& node, const core::Rect& parent, bool floating)
    {
        if (isWindow(node) && node["id"].toDouble() > 0) {
            Window w;
            w.id = uint32_t(node["id"].toDouble());
            w.pid = node["pid"].toInt();
            w.frame = frameOf(node, parent);
            // A tab behind another, or a window on a workspace not shown, has visible false.
            w.shown = workspaceShown && node["visible"].toBool(true);
            w.floating = floating;
            w.fullscreen = node["fullscreen_mode"].toInt() != 0;
            stack.push_back(w);
        }
        auto rect = rectOf(node["rect"]);
        for (auto child : node["nodes"].toArray())
            walk(child.toObject(), rect, floating);
        for (auto child : node["floating_nodes"].toArray())
            walk(child.toObject(), rect, true);
    }
};

void collectWorkspace(const QJsonObject& workspace, bool shown, std::vector<Window>& front, std::vector<Window>& back)
{
    Collector c;
    c.workspaceShown = shown;
    auto rect = rectOf(workspace["rect"]);
    for (auto child : workspace["nodes"].toArray())
        c.walk(child.toObject(), rect, false);
    for (auto child : workspace["floating_nodes"].toArray())
        c.walk(child.toObject(), rect, true);
    std::stable_partition(c.stack.begin(), c.stack.end(), [](auto& w) { return !w.fullscreen; });
    auto& into = shown ? front : back;
    into.insert(into.end(), c.stack.rbegin(), c.stack.rend());
}

}

std::vector<Window> parseSwayTree(const QByteArray& json)
{
    auto doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return {};
    std::vector<Window> front, back;
    for (auto outputValue : doc.object()["nodes"].toArray()) {
        auto output = outputValue.toObject();
        // The scratchpad's pseudo output shows nothing; its windows are hidden, as a minimized one
        // is elsewhere, and come back with "scratchpad show".
        bool scratchpad = output["name"].toString() == "__i3";
        auto current = output["current_workspace"].toString();
        for (auto workspaceValue : output["nodes"].toArray()) {
            auto workspace = workspaceValue.toObject();
            if (workspace["type"].toString() != "workspace")
                continue;
            collectWorkspace(workspace, !scratchpad && workspace["name"].toString() == current, front, back);
        }
    }
    front.insert(front.end(), back.begin(), back.end());
    // A tab behind another on a shown workspace goes with the hidden ones.
    std::stable_partition(front.begin(), front.end(), [](auto& w) { return w.shown; });
    return front;
}

}
