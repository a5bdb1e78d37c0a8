// What the tray menu shows: rows, titles, enabled state, check marks and the command each row runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavelin {

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
    bool checked = false;
    // Only the colour rows carry one: the colour's raw value.
    std::optional<std::string> representedObject;
    // The quit row's key, used with the desktop's usual modifier (Ctrl on Linux).
    std::string keyEquivalent;
};

struct MenuModel {
    std::vector<MenuItem> items;
};

}
