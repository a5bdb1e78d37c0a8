// The tray icon and its menu (StatusNotifierItem over D-Bus, or an XEmbed tray).
#pragma once

#include "MenuModel.h"

#include <functional>
#include <memory>
#include <string>

namespace tavelin::qt {

class Tray {
public:
    Tray();
    ~Tray();
    void create(const std::string& accessibleName);
    void setMenu(const MenuModel& menu, std::function<void(const MenuItem&)> onTrigger);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
