// The user's freedesktop folders: the configuration and state homes, the Desktop folder of user-dirs.dirs.
#pragma once

#include <string>

namespace tavelin::shared::xdg {

// $XDG_CONFIG_HOME when it is an absolute path, else HOME/.config.
std::string configHome(const std::string& home);

// $XDG_STATE_HOME when it is an absolute path, else HOME/.local/state: where logs belong.
std::string stateHome(const std::string& home);

// The folder a value of XDG_DESKTOP_DIR (or any XDG_*_DIR) names, as user-dirs.dirs writes it:
// "$HOME/Schreibtisch" or "/an/absolute/path", quoted, backslash escapes allowed. Empty when the
// value is malformed (unquoted, relative, unterminated).
std::string userDirValue(const std::string& value, const std::string& home);

// The Desktop folder inside HOME: XDG_DESKTOP_DIR from the user-dirs.dirs in the configuration home,
// or HOME/Desktop when the file or the line is missing or malformed. The folder may not exist.
std::string desktopFolder(const std::string& home);

}
