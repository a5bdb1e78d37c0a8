// Writing and removing the autostart entry; a rewrite goes through a temporary file and a rename,
// so a session starting at that moment never reads half an entry.
#include "shared/xdg/Autostart.h"

#include "shared/dbus/BusNames.h"
#include "shared/xdg/UserDirs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace tavelin::shared::xdg {

namespace {

namespace fs = std::filesystem;

// An Exec argument quoted as the desktop entry format asks: inside double quotes, a backslash before
// each of " ` $ \, and every backslash doubled once more, since the value itself is a string; a
// percent sign doubled, or it would start a field code.
std::string execArgument(const std::string& argument)
{
    if (argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`%") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        else if (c == '\\')
            quoted += "\\\\\\";
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

std::string failure(const std::string& what, const fs::path& path, const std::error_code& error)
{
    return what + " " + path.string() + ": " + error.message();
}

}

std::string autostartEntryPath(const std::string& home)
{
    return configHome(home) + "/autostart/" + dbus::serviceName + ".desktop";
}

std::string autostartEntry(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tavelin\n"
           "Comment=A spreadsheet-style grid over the screen, started at login\n"
           "Icon=org.tavelin.Tavelin\n"
           "Exec=" + execArgument(executable) + "\n"
           "Terminal=false\n"
           "StartupNotify=false\n"
           "NoDisplay=true\n";
}

std::optional<std::string> enableAutostart(const std::string& home, const std::string& executable)
{
    fs::path entry = autostartEntryPath(home);
    std::error_code error;
    fs::create_directories(entry.parent_path(), error);
    if (error)
        return failure("cannot make the folder", entry.parent_path(), error);
    fs::path temporary = entry;
    temporary += ".new-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << autostartEntry(executable);
        out.close();
        if (!out) {
            auto text = "cannot write " + temporary.string() + ": " + std::strerror(errno);
            fs::remove(temporary, error);
            return text;
        }
    }
    fs::rename(temporary, entry, error);
    if (error) {
        auto text = failure("cannot write", entry, error);
        fs::remove(temporary, error);
        return text;
    }
    return std::nullopt;
}

std::optional<std::string> disableAutostart(const std::string& home)
{
    fs::path entry = autostartEntryPath(home);
    std::error_code error;
    fs::remove(entry, error);
    if (error)
        return failure("cannot remove", entry, error);
    return std::nullopt;
}

}
