// The tray icon and its menu (StatusNotifierItem over D-Bus, or an XEmbed tray).
#pragma once

#include "core/MenuModel.h"

#include <functional>
#include <memory>
#include <string>

namespace tavelin::shared::tray {

class Tray {
public:
    Tray();
    ~Tray();
    // The icon waits for a tray: a StatusNotifier watcher on the session bus, or one hasXEmbedTray
    // sees. notShown runs once if none has come a few seconds on.
    void create(const std::string& accessibleName, std::function<void()> notShown, std::function<bool()> hasXEmbedTray);
    void setMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
