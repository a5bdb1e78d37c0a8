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
    // notShown runs once if no tray has taken the icon a few seconds on.
    void create(const std::string& accessibleName, std::function<void()> notShown);
    void setMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
