// The user's freedesktop files: the Desktop folder read from user-dirs.dirs, and the autostart entry.
#include "shared/xdg/Autostart.h"
#include "shared/xdg/DisplayLock.h"
#include "shared/xdg/UserDirs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

using namespace tavelin::shared::xdg;
namespace fs = std::filesystem;

namespace {

// A fresh home, with XDG_CONFIG_HOME unset for the test's length (or set to a folder of choice).
struct TempHome {
    fs::path path;
    std::optional<std::string> savedConfigHome;

    TempHome()
    {
        char name[] = "/tmp/tavelin-xdg-XXXXXX";
        path = mkdtemp(name);
        if (const char* configured = std::getenv("XDG_CONFIG_HOME"))
            savedConfigHome = configured;
        unsetenv("XDG_CONFIG_HOME");
    }
    ~TempHome()
    {
        fs::remove_all(path);
        if (savedConfigHome)
            setenv("XDG_CONFIG_HOME", savedConfigHome->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    void userDirs(const std::string& text, const fs::path& configHome = {}) const
    {
        auto folder = configHome.empty() ? path / ".config" : configHome;
        fs::create_directories(folder);
        std::ofstream(folder / "user-dirs.dirs") << text;
    }
    std::string home() const { return path.string(); }
};

}

TEST(UserDirs, ValuesAreQuotedAndEitherUnderHomeOrAbsolute)
{
    EXPECT_EQ(userDirValue("\"$HOME/Schreibtisch\"", "/home/u"), "/home/u/Schreibtisch");
    EXPECT_EQ(userDirValue("\"/srv/Bureau\"", "/home/u"), "/srv/Bureau");
    EXPECT_EQ(userDirValue("\"$HOME/Mon \\\"Bureau\\\"\"  # comment", "/home/u"), "/home/u/Mon \"Bureau\"");
    // A folder switched off is the home folder itself.
    EXPECT_EQ(userDirValue("\"$HOME/\"", "/home/u"), "/home/u");
    EXPECT_EQ(userDirValue("\"$HOME\"", "/home/u"), "/home/u");
    for (auto bad : { "$HOME/Desktop", "\"Desktop\"", "\"$HOMEx/Desktop\"", "\"$HOME/Desktop", "\"/a\" b", "" })
        EXPECT_EQ(userDirValue(bad, "/home/u"), "") << bad;
}

TEST(UserDirs, TheDesktopFolderComesFromUserDirsElseHomeDesktop)
{
    TempHome h;
    EXPECT_EQ(desktopFolder(h.home()), h.home() + "/Desktop") << "no file";
    h.userDirs("# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
               "  XDG_DESKTOP_DIR = \"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(desktopFolder(h.home()), h.home() + "/Schreibtisch");
    h.userDirs("XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DESKTOP_DIR=Desktop-unquoted\n");
    EXPECT_EQ(desktopFolder(h.home()), h.home() + "/Bureau") << "the last well-formed line";
    h.userDirs("XDG_DESKTOP_DIR=\"relative/path\"\nXDG_DESKTOP_DIRECTORY=\"/elsewhere\"\n");
    EXPECT_EQ(desktopFolder(h.home()), h.home() + "/Desktop");

    auto configured = h.path / "configured";
    h.userDirs("XDG_DESKTOP_DIR=\"/srv/desk\"\n", configured);
    setenv("XDG_CONFIG_HOME", configured.c_str(), 1);
    EXPECT_EQ(configHome(h.home()), configured.string());
    EXPECT_EQ(desktopFolder(h.home()), "/srv/desk");
    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    setenv("XDG_CONFIG_HOME", "configured", 1);
    EXPECT_EQ(configHome(h.home()), h.home() + "/.config");
}

TEST(DisplayLock, OneHolderPerDisplayWhateverTheScreenAndNoneOutsideTheFolder)
{
    TempHome h;
    std::string problem;
    DisplayLock first, second;
    ASSERT_EQ(first.take(h.home(), ":3", problem), DisplayLock::Result::ours) << problem;
    EXPECT_EQ(second.take(h.home(), ":3.1", problem), DisplayLock::Result::held) << "the same display";
    EXPECT_EQ(second.take(h.home(), ":4", problem), DisplayLock::Result::ours) << "another display";
    second.release();
    first.release();
    EXPECT_EQ(second.take(h.home(), ":3", problem), DisplayLock::Result::ours) << "let go";

    EXPECT_EQ(first.take(h.home(), "../wayland-1", problem), DisplayLock::Result::ours) << problem;
    EXPECT_TRUE(fs::exists(h.path / "tavelin-.._wayland-1.lock")) << "in the folder, not above it";

    EXPECT_EQ(waylandDisplay(h.home(), "/elsewhere/wayland-1"), "/elsewhere/wayland-1");
    EXPECT_EQ(first.take((h.path / "missing").string(), ":3", problem), DisplayLock::Result::unavailable);
    EXPECT_NE(problem.find("missing"), std::string::npos) << problem;
    EXPECT_EQ(first.take("", ":3", problem), DisplayLock::Result::unavailable);
}
