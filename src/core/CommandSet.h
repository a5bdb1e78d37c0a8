// Every command a script can give the running Tavelin, with checked arguments and one-line errors,
// shared by the command line, the session-bus interface and any other remote control.
#pragma once

#include "core/CellMap.h"
#include "core/GridState.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tavelin::core {

class AppDelegate;
class Platform;

struct CommandError {
    // badArgument: the request itself is malformed; notFound: it names nothing there is;
    // failed: it could not be carried out now.
    enum class Kind { badArgument, notFound, failed };
    Kind kind = Kind::failed;
    std::string message;
};

// A command's value, or why it was refused. A refused command has changed nothing.
template<typename T = std::monostate>
class Outcome {
public:
    Outcome(T value) : m_value(std::move(value)) { }
    Outcome(CommandError error) : m_value(std::move(error)) { }
    bool ok() const { return m_value.index() == 0; }
    const T& value() const { return std::get<0>(m_value); }
    const CommandError& error() const { return std::get<1>(m_value); }

private:
    std::variant<T, CommandError> m_value;
};

enum class Switch { on, off, toggle };

// "on", "off", "toggle" in any letter case.
std::optional<Switch> parseSwitch(std::string_view);
// A colour by its menu name in any letter case: "white", "PINK".
std::optional<GridColor> gridColorNamed(std::string_view);
// An X11 window id: decimal or 0x hex, 1 to 0xFFFFFFFF.
std::optional<uint32_t> parseWindowId(std::string_view);
bool isCellSize(double points);

// Why an argument is refused, in the same words on the bus and on the command line; each takes
// the argument as it is to be shown (text quoted).
std::string outsideCellSizes(std::string_view shown);
std::string noSuchColour(std::string_view shown);
std::string notACellName(std::string_view shown);
// What a message shows of a text the caller gave: its start, where it is too long to read back.
std::string clipped(std::string_view text);

// Everything a script can read about the grid. Positions are root-window device pixels.
struct GridSnapshot {
    bool visible = false;
    bool labels = false;
    bool adjusting = false;
    bool picking = false;
    std::optional<uint32_t> window; // the followed window; none for the full screen
    std::string screen;             // the screen the full-screen grid covers
    double cellWidth = 0;
    double cellHeight = 0;
    std::string color;
    PixelRect frame;
    double scale = 1;
    int64_t columns = 0;
    int64_t rows = 0;
    friend bool operator==(const GridSnapshot&, const GridSnapshot&) = default;
};

struct ScreenEntry {
    std::string name;
    PixelRect frame;
    bool primary = false;
    bool grid = false; // the full-screen grid's screen
};

struct CellPlace {
    std::string name;
    PixelRect rect;
    PixelPoint centre;
};

class CommandSet {
public:
    CommandSet(AppDelegate& app, Platform& platform);
    ~CommandSet();
    CommandSet(const CommandSet&) = delete;
    CommandSet& operator=(const CommandSet&) = delete;

    Outcome<> grid(Switch);
    Outcome<> labels(Switch);
    Outcome<> adjust(Switch);
    Outcome<> pick();
    Outcome<> follow(uint32_t window);
    Outcome<> fullScreen();
    Outcome<> size(double width, double height);
    Outcome<> color(std::string_view name);
    std::vector<ScreenEntry> screens() const;
    Outcome<> screen(std::string_view name);
    // The menu's screenshot (Desktop file, clipboard, flash): the file's path.
    Outcome<std::string> shot();
    // The same picture as PNG bytes only: no file, no clipboard, no flash.
    Outcome<std::vector<uint8_t>> shotPng();
    Outcome<CellPlace> cell(std::string_view name) const;
    Outcome<CellPlace> at(int64_t x, int64_t y) const;
    GridSnapshot state() const;
    void quit();

    // Told once after a turn of the event loop in which the snapshot changed, with the new one.
    void watchState(std::function<void(const GridSnapshot&)> changed);

private:
    CellMap cellMap() const;
    CellPlace place(CellAddress, const CellMap&) const;
    void scheduleCheck();

    AppDelegate& m_app;
    Platform& m_platform;
    GridState::SubscriptionId m_subscription = 0;
    std::function<void(const GridSnapshot&)> m_changed;
    std::optional<GridSnapshot> m_lastTold;
    bool m_checkPending = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}
