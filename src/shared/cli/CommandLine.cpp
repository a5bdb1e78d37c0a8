// Reading the tavelin command line: subcommand, operands and the --json / --rect options.
#include "shared/cli/CommandLine.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace tavelin::shared::cli {

namespace {

using core::Switch;

struct Grammar {
    Verb verb;
    size_t minOperands;
    size_t maxOperands;
    const char* synopsis;
    bool json = false;
    bool rect = false;
};

const std::map<std::string, Grammar>& grammar()
{
    static const std::map<std::string, Grammar> words {
        { "grid", { Verb::grid, 1, 1, "grid on|off|toggle" } },
        { "labels", { Verb::labels, 1, 1, "labels on|off|toggle" } },
        { "adjust", { Verb::adjust, 1, 1, "adjust on|off|toggle" } },
        { "pick", { Verb::pick, 0, 0, "pick" } },
        { "follow", { Verb::follow, 1, 1, "follow WINDOW" } },
        { "full-screen", { Verb::fullScreen, 0, 0, "full-screen" } },
        { "size", { Verb::size, 1, 2, "size W [H]" } },
        { "color", { Verb::color, 1, 1, "color NAME" } },
        { "screen", { Verb::screen, 0, 1, "screen [NAME]", true } },
        { "shot", { Verb::shot, 0, 1, "shot [PATH|-]" } },
        { "cell", { Verb::cell, 1, 1, "cell NAME [--rect] [--json]", true, true } },
        { "at", { Verb::at, 2, 2, "at X Y [--json]", true } },
        { "state", { Verb::state, 0, 0, "state [--json]", true } },
        { "quit", { Verb::quit, 0, 0, "quit" } },
        { "mcp", { Verb::mcp, 0, 0, "mcp" } },
        { "autostart", { Verb::autostart, 1, 1, "autostart on|off" } },
    };
    return words;
}

UsageError usage(const std::string& word, const std::string& problem)
{
    return { word + ": " + problem + " (usage: tavelin " + grammar().at(word).synopsis + ")" };
}

std::string quoted(const std::string& text) { return '"' + printable(core::clipped(text)) + '"'; }

// Decimal only, with a point whatever the locale: strtod would also take hexadecimal ("0x50" as 80).
std::optional<double> number(const std::string& text)
{
    double value = 0;
    auto last = text.data() + text.size();
    auto [end, error] = std::from_chars(text.data(), last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int64_t> integer(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0)
        return std::nullopt;
    return int64_t(value);
}

// Fills in the operands of a request whose word and operand count are already right.
std::optional<UsageError> readOperands(const std::string& word, const std::vector<std::string>& ops, Request& r)
{
    switch (r.verb) {
    case Verb::grid:
    case Verb::labels:
    case Verb::adjust:
    case Verb::autostart: {
        // Starting at login has no toggle: a script should say what it wants.
        bool onOrOff = r.verb == Verb::autostart;
        auto mode = core::parseSwitch(ops[0]);
        if (!mode || (onOrOff && *mode == Switch::toggle))
            return usage(word, quoted(ops[0]) + (onOrOff ? " is not on or off" : " is not on, off or toggle"));
        r.mode = *mode;
        return std::nullopt;
    }
    case Verb::follow: {
        auto id = core::parseWindowId(ops[0]);
        if (!id)
            return usage(word, quoted(ops[0]) + " is not a window id (decimal or 0x hex)");
        r.window = *id;
        return std::nullopt;
    }
    case Verb::size: {
        for (size_t i = 0; i < ops.size(); ++i) {
            auto side = number(ops[i]);
            if (!side)
                return usage(word, quoted(ops[i]) + " is not a number");
            if (!core::isCellSize(*side))
                return usage(word, core::outsideCellSizes(printable(ops[i])));
            (i == 0 ? r.width : r.height) = *side;
        }
        if (ops.size() == 1)
            r.height = r.width;
        return std::nullopt;
    }
    case Verb::color:
        if (!core::gridColorNamed(ops[0]))
            return usage(word, core::noSuchColour(quoted(ops[0])));
        r.name = ops[0];
        return std::nullopt;
    case Verb::screen:
        if (ops.empty())
            r.verb = Verb::listScreens;
        else if (r.json)
            return usage(word, "--json goes with the list of screens: putting the grid on one prints nothing");
        else
            r.name = ops[0];
        return std::nullopt;
    case Verb::shot:
        // An empty word (an unset variable in a script) names no file: not the current folder.
        if (!ops.empty() && ops[0].empty())
            return usage(word, "the path is empty");
        if (!ops.empty()) {
            r.verb = ops[0] == "-" ? Verb::shotToStdout : Verb::shotToFile;
            r.name = ops[0];
        }
        return std::nullopt;
    case Verb::cell:
        if (!core::parseCellName(ops[0]) && !core::isCellNameBeyondAnyGrid(ops[0]))
            return usage(word, core::notACellName(quoted(ops[0])));
        r.name = ops[0];
        return std::nullopt;
    case Verb::at: {
        auto x = integer(ops[0]), y = integer(ops[1]);
        if (!x || !y)
            return usage(word, quoted(x ? ops[1] : ops[0]) + " is not a whole number of pixels");
        r.x = *x;
        r.y = *y;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

}

std::string printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::variant<Request, UsageError> parseCommandLine(const std::vector<std::string>& arguments)
{
    Request r;
    if (arguments.empty())
        return r;
    const auto& word = arguments[0];
    if (word == "--help" || word == "-h" || word == "help") {
        r.verb = Verb::help;
        return r;
    }
    if (word == "--version") {
        if (arguments.size() > 1)
            return UsageError { "--version takes no arguments (see tavelin --help)" };
        r.verb = Verb::version;
        return r;
    }
    auto found = grammar().find(word);
    if (found == grammar().end()) {
        bool option = word.size() > 1 && word[0] == '-';
        return UsageError { (option ? "unknown option " : "unknown command ") + quoted(word) + " (see tavelin --help)" };
    }
    const auto& g = found->second;
    r.verb = g.verb;
    std::vector<std::string> operands;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const auto& a = arguments[i];
        if (a == "--help" || a == "-h") {
            r.verb = Verb::help;
            return r;
        }
        if (a == "--json" && g.json)
            r.json = true;
        else if (a == "--rect" && g.rect)
            r.rect = true;
        else if (a.size() > 2 && a.starts_with("--"))
            return usage(word, "unknown option " + printable(a));
        else
            operands.push_back(a);
    }
    if (operands.size() < g.minOperands)
        return usage(word, "missing argument");
    if (operands.size() > g.maxOperands)
        return usage(word, "too many arguments");
    if (auto error = readOperands(word, operands, r))
        return *error;
    return r;
}

std::string helpText()
{
    return R"(Usage: tavelin [COMMAND]

Lays a spreadsheet-style grid over the screen or one window. With no COMMAND, starts Tavelin
(one per session). With a COMMAND, tells the running Tavelin what to do and exits.

Commands:
  grid on|off|toggle      show or hide the grid
  labels on|off|toggle    cell names on or off
  adjust on|off|toggle    adjust mode (drag to resize the cells)
  pick                    pick a window with the next click, as Super+Shift+W
  follow WINDOW           follow the window with that id (decimal or 0x hex): the X11
                          window id; on sway its con_id, on Hyprland its address's low 32 bits
  full-screen             back to the whole screen
  size W [H]              cell width and height in points, 20 to 400 (H defaults to W)
  color NAME              White, Blue, Green, Cyan, Yellow, Red, Orange or Pink
  screen [NAME]           list the screens (* marks the grid's), or put the grid on one
  shot [PATH|-]           screenshot with the grid: to the Desktop and the clipboard, prints
                          the file; to PATH only (never replacing a file); - to standard output
  cell NAME [--rect]      the centre of a cell as X Y (--rect: X Y W H) in desktop pixels
  at X Y                  the name of the cell under a desktop pixel (X11: the root window's)
  state                   the grid's state
  quit                    end the running Tavelin
  mcp                     serve AI agents over stdio (Model Context Protocol); starts Tavelin
                          when it is not running
  autostart on|off        start Tavelin at login, or no longer (an entry in ~/.config/autostart)

  --json                  with cell, at, state and screen: print one JSON object

Exit status: 0 done, 1 refused or failed, 2 the command line is wrong.
)";
}

}
