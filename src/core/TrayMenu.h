// The tray menu: its 26 rows, built afresh from the grid state whenever a check mark may move.
#pragma once

#include "core/GridState.h"
#include "core/Lifeline.h"
#include "core/MenuModel.h"
#include "core/Platform.h"

#include <functional>

namespace tavelin::core {

class TrayMenu {
public:
    using Perform = std::function<void(const MenuItem&)>;
    TrayMenu(Platform& platform, const GridState& state, Perform perform)
        : m_platform(platform)
        , m_state(state)
        , m_perform(std::move(perform))
    {
    }
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // Puts the icon in the tray with the current menu.
    void create();
    // Hands the tray a menu for the current state; nothing before the icon exists.
    void rebuild();
    static MenuModel build(const GridState& state);

private:
    void tellNoTray();

    Platform& m_platform;
    const GridState& m_state;
    Perform m_perform;
    bool m_hasIcon = false;
    Lifeline m_life;
};

}
