// Start at login the freedesktop way: a desktop entry in the configuration home's autostart folder.
#pragma once

#include <optional>
#include <string>

namespace tavelin::shared::xdg {

// The entry's file: CONFIG_HOME/autostart/org.tavelin.Tavelin.desktop.
std::string autostartEntryPath(const std::string& home);

// The entry that starts the executable at the given absolute path.
std::string autostartEntry(const std::string& executable);

// Writes (or rewrites) the entry, making the autostart folder if needed; the error's text when it fails.
std::optional<std::string> enableAutostart(const std::string& home, const std::string& executable);

// Removes the entry if there is one; the error's text when it is there and cannot be removed.
std::optional<std::string> disableAutostart(const std::string& home);

}
