// The tray menu's rows and handing them to the tray.
#include "core/TrayMenu.h"

namespace tavelin::core {

namespace {
MenuItem separator()
{
    MenuItem item;
    item.isSeparator = true;
    item.enabled = false;
    return item;
}

MenuItem heading(std::string title)
{
    MenuItem item;
    item.title = std::move(title);
    item.enabled = false;
    return item;
}

MenuItem action(std::string title, Command command)
{
    MenuItem item;
    item.title = std::move(title);
    item.action = command;
    return item;
}

MenuItem checkable(std::string title, Command command, bool checked)
{
    auto item = action(std::move(title), command);
    item.checkable = true;
    item.checked = checked;
    return item;
}
}

MenuModel TrayMenu::build(const GridState& s)
{
    MenuModel menu;
    auto& items = menu.items;
    items.push_back(action("Toggle Grid (\u2318\u21E7G)", Command::toggleGrid));
    items.push_back(separator());
    items.push_back(heading("Grid Size"));
    items.push_back(action("  Large (160\u00D7160)", Command::setSizeLarge));
    items.push_back(action("  Medium (80\u00D780)", Command::setSizeMedium));
    items.push_back(action("  Small (40\u00D740)", Command::setSizeSmall));
    items.push_back(separator());
    items.push_back(heading("Target"));
    items.push_back(checkable("  Full Screen", Command::setTargetFullScreen, s.targetMode().isFullScreen()));
    items.push_back(checkable("  Select Window... (\u2318\u21E7W)", Command::startWindowSelection, s.targetMode().isWindow()));
    items.push_back(separator());
    items.push_back(heading("Grid Color"));
    for (auto color : allGridColors) {
        auto item = checkable("  " + std::string(rawValue(color)), Command::setGridColor, s.gridColor() == color);
        item.color = color;
        items.push_back(std::move(item));
    }
    items.push_back(separator());
    items.push_back(checkable("Show Cell Labels (\u2318\u21E7L)", Command::toggleCellLabels, s.showCellLabels()));
    items.push_back(action("Screenshot with Grid (\u2318\u21E7S)", Command::takeScreenshot));
    items.push_back(action("Adjust Mode (\u2318\u21E7A)", Command::toggleAdjustMode));
    items.push_back(separator());
    auto quit = action("Quit", Command::quitApp);
    quit.shortcut = "Ctrl+Q";
    items.push_back(std::move(quit));
    return menu;
}

void TrayMenu::create()
{
    m_platform.createTrayIcon("Tavelin", m_life.guard([this] { tellNoTray(); }));
    m_hasIcon = true;
    rebuild();
}

// Without a tray the menu, and its Quit, are out of reach, and a Tavelin started from the
// desktop's launcher has no terminal to say so in: the notification tells what still works.
void TrayMenu::tellNoTray()
{
    m_platform.reportProblem("no tray on this desktop shows Tavelin's icon: the shortcuts and the command line "
                             "still work (tavelin --help; tavelin quit ends Tavelin)");
    m_platform.notify("Tavelin has no tray icon",
        "This desktop shows no system tray, so Tavelin's menu is out of reach. The shortcuts work, and so does "
        "the command line: tavelin --help lists its commands, tavelin quit ends Tavelin.");
}

void TrayMenu::rebuild()
{
    if (!m_hasIcon)
        return;
    m_platform.setTrayMenu(build(m_state), m_life.guard([this](const MenuItem& item) { m_perform(item); }));
}

}
