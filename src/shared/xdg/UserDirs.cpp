// Reading user-dirs.dirs: lines of NAME="VALUE", comments after #; the last well-formed line wins,
// as when a shell reads the file.
#include "shared/xdg/UserDirs.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string_view>

namespace tavelin::shared::xdg {

namespace {

constexpr std::string_view homeVariable = "$HOME";

std::string trimmedLeft(const std::string& line)
{
    auto start = line.find_first_not_of(" \t");
    return start == std::string::npos ? "" : line.substr(start);
}

// The text between the quotes, escapes undone; nullopt without both quotes or with text after them.
std::optional<std::string> unquoted(const std::string& value)
{
    if (value.empty() || value[0] != '"')
        return std::nullopt;
    std::string text;
    for (size_t i = 1; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            text += value[++i];
        } else if (c == '"') {
            auto rest = trimmedLeft(value.substr(i + 1));
            return rest.empty() || rest[0] == '#' ? std::optional(text) : std::nullopt;
        } else {
            text += c;
        }
    }
    return std::nullopt;
}

}

namespace {

// The XDG base directory rule: a relative value is invalid and is ignored.
std::string baseFolder(const char* variable, const std::string& fallback)
{
    const char* configured = std::getenv(variable);
    return configured && configured[0] == '/' ? configured : fallback;
}

}

std::string configHome(const std::string& home) { return baseFolder("XDG_CONFIG_HOME", home + "/.config"); }

std::string stateHome(const std::string& home) { return baseFolder("XDG_STATE_HOME", home + "/.local/state"); }

std::string userDirValue(const std::string& value, const std::string& home)
{
    auto text = unquoted(value);
    if (!text)
        return "";
    if (text->starts_with(homeVariable)) {
        auto rest = text->substr(homeVariable.size());
        // "$HOME" and "$HOME/" alone name the home folder itself: the folder is switched off.
        if (rest.empty() || rest == "/")
            return home;
        return rest[0] == '/' ? home + rest : "";
    }
    return text->starts_with('/') ? *text : "";
}

std::string desktopFolder(const std::string& home)
{
    std::ifstream file(configHome(home) + "/user-dirs.dirs");
    std::string found;
    for (std::string line; std::getline(file, line);) {
        line = trimmedLeft(line);
        constexpr std::string_view key = "XDG_DESKTOP_DIR";
        if (!line.starts_with(key))
            continue;
        auto rest = trimmedLeft(line.substr(key.size()));
        if (rest.empty() || rest[0] != '=')
            continue;
        if (auto folder = userDirValue(trimmedLeft(rest.substr(1)), home); !folder.empty())
            found = folder;
    }
    return found.empty() ? home + "/Desktop" : found;
}

}
