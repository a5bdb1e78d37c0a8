// Looking one window up, and choosing the source this session offers.
#include "wayland/windows/WindowSource.h"

#include "wayland/windows/HyprlandWindows.h"
#include "wayland/windows/KWinWindows.h"
#include "wayland/windows/SwayWindows.h"

#include <QDir>
#include <QString>

#include <cstdlib>

namespace tavelin::wayland::windows {

std::optional<Window> WindowSource::window(uint32_t id)
{
    for (auto& w : windows())
        if (w.id == id)
            return w;
    return std::nullopt;
}

std::unique_ptr<WindowSource> compositorWindows()
{
    for (auto name : { "SWAYSOCK", "I3SOCK" })
        if (auto* path = std::getenv(name); path && *path)
            return std::make_unique<SwayWindows>(QString::fromLocal8Bit(path));
    if (auto* signature = std::getenv("HYPRLAND_INSTANCE_SIGNATURE"); signature && *signature) {
        // Under the runtime folder since Hyprland 0.40, under /tmp before.
        auto* runtime = std::getenv("XDG_RUNTIME_DIR");
        QString folder = QString::fromLocal8Bit(runtime ? runtime : "") + "/hypr/" + signature;
        if (!QDir(folder).exists())
            folder = QString("/tmp/hypr/") + signature;
        return std::make_unique<HyprlandWindows>(folder);
    }
    // Plasma on Wayland: KWin runs scripts that can tell us.
    if (auto* desktop = std::getenv("XDG_CURRENT_DESKTOP"); desktop && QString(desktop).split(':').contains("KDE"))
        return std::make_unique<KWinWindows>();
    return nullptr;
}

}
