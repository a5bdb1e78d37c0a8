// The tavelin command line: its words checked and turned into one request, before any display or bus.
#pragma once

#include "core/CommandSet.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tavelin::shared::cli {

enum class Verb {
    start, // no subcommand: run Tavelin
    help,
    version,
    grid,
    labels,
    adjust,
    pick,
    follow,
    fullScreen,
    size,
    color,
    listScreens,
    screen,
    shot,       // the menu's screenshot
    shotToFile, // path holds the file
    shotToStdout,
    cell,
    at,
    state,
    quit,
    mcp, // serve the Model Context Protocol on stdio
    autostart, // mode on or off; needs neither a display nor a running Tavelin
};

struct Request {
    Verb verb = Verb::start;
    core::Switch mode = core::Switch::toggle;
    uint32_t window = 0;
    double width = 0;
    double height = 0;
    std::string name; // colour, screen, cell (as typed), or the shot's path
    int64_t x = 0;
    int64_t y = 0;
    bool json = false;
    bool rect = false;
};

// One line saying what is wrong with the words; the command exits with status 2.
struct UsageError {
    std::string message;
};

// The arguments after the program's name.
std::variant<Request, UsageError> parseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string helpText();

// Text from elsewhere (an argument, a screen's name) with control characters spelled out as \xNN:
// a line printed stays one line, and no escape sequence reaches the terminal.
std::string printable(const std::string& text);

}
