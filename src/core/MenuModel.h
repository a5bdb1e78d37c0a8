// What the tray menu shows: rows, titles, enabled state, check marks and the command each row runs.
#pragma once

#include "core/GridState.h"

#include <optional>
#include <string>
#include <vector>

namespace tavelin::core {

enum class Command {
    none,
    toggleGrid,
    setSizeLarge,
    setSizeMedium,
    setSizeSmall,
    setTargetFullScreen,
    startWindowSelection,
    setGridColor,
    toggleCellLabels,
    takeScreenshot,
    toggleAdjustMode,
    quitApp,
};

struct MenuItem {
    bool isSeparator = false;
    std::string title;
    Command action = Command::none;
    bool enabled = true;
    // A checkable row shows a check mark or an empty box; checked says which.
    bool checkable = false;
    bool checked = false;
    // Only the colour rows carry one: the colour they set.
    std::optional<GridColor> color;
    // A key that runs the row while the menu is open, as Qt writes it ("Ctrl+Q").
    std::string shortcut;
};

struct MenuModel {
    std::vector<MenuItem> items;
};

}
