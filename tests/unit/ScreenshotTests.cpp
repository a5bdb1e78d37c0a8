// The screenshot sequence on every path, the file name, and writing files that never overwrite.
#include "shared/files/NewFile.h"
#include "Launched.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>
#include <unistd.h>

using namespace tavelin::core;
using namespace tavelin::test;
using tavelin::shared::files::writeNewFile;
namespace fs = std::filesystem;

namespace {
std::tm march7At130509()
{
    std::tm t {};
    std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec) = std::tuple(2027 - 1900, 2, 7, 13, 5, 9);
    return t;
}

std::string contents(const fs::path& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

struct TempHome {
    fs::path path;
    TempHome()
    {
        char pattern[] = "/tmp/tavelin-unit-XXXXXX";
        path = mkdtemp(pattern);
        fs::create_directory(path / "Desktop");
    }
    ~TempHome() { fs::remove_all(path); }
    std::vector<std::string> desktopFiles() const
    {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(path / "Desktop"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A link at Desktop/name to a file outside that a careless write would overwrite.
    fs::path plantLink(const std::string& name) const
    {
        auto victim = path / "victim";
        std::ofstream(victim) << "keep";
        fs::create_symlink(victim, path / "Desktop" / name);
        return victim;
    }
};

struct Shooting : Launched {
    TempHome home;
    Shooting()
    {
        platform.home = home.path.string();
        platform.now = march7At130509();
        platform.log.clear();
        overlay().log.clear();
    }
    bool flashed() const { return std::count(platform.log.begin(), platform.log.end(), "create flash") > 0; }
};
}

TEST(ScreenshotName, LocalTimeOnA24HourClock)
{
    EXPECT_EQ(Screenshot::fileName(march7At130509()), "Tavelin_2027-03-07_13.05.09.png");
}

TEST(Screenshot, WindowModeFallsBackToTheScreenWhenTheTargetIsGone)
{
    Shooting s;
    s.state().setTargetMode(TargetMode::window(42));
    s.app->takeScreenshot();
    EXPECT_EQ(s.platform.clipboard, "screen+overlay");
    EXPECT_EQ(s.platform.capturedRect, (Rect { 0, 0, 1440, 900 }));
}

TEST(Screenshot, AGridTheScreenShowsAsDrawnStaysOnItAndIsNotDrawnTwice)
{
    Shooting s;
    s.overlay().onScreenAsDrawn = true;
    s.app->takeScreenshot();
    EXPECT_TRUE(s.overlay().log.empty()) << "the grid left the screen";
    EXPECT_EQ(s.platform.clipboard, "screen");
    // The first shot's flash would be in the screen: the next one takes the grid and flash off first.
    s.app->takeScreenshot();
    EXPECT_EQ(s.overlay().log, (std::vector<std::string> { "out", "front" }));
    EXPECT_EQ(s.platform.clipboard, "screen+overlay");
}

TEST(Screenshot, FailureTable)
{
    const std::string nothing = "Screenshot failed: Nothing was saved or copied: ";
    { // grid hidden: nothing at all
        Shooting s;
        s.app->toggleGrid();
        s.platform.log.clear();
        s.app->takeScreenshot();
        EXPECT_TRUE(s.platform.log.empty());
        EXPECT_TRUE(s.platform.notifications.empty());
    }
    { // window capture gives nothing: stop, overlay never hidden, the user told
        Shooting s;
        s.platform.windows = { { 42, 100, 0, Rect { 0, 0, 100, 100 } } };
        s.platform.windowCaptureWorks = false;
        s.state().setTargetMode(TargetMode::window(42));
        s.app->takeScreenshot();
        EXPECT_TRUE(s.overlay().log.empty());
        EXPECT_TRUE(s.platform.clipboard.empty());
        EXPECT_FALSE(s.flashed());
        EXPECT_EQ(s.platform.notifications, (std::vector { nothing + "the window could not be captured." }));
        EXPECT_EQ(s.platform.problems, (std::vector<std::string> { "screenshot failed: the window could not be captured" }));
    }
    { // the target minimized or on another desktop: neither its pixels nor the grid are on screen
        Shooting s;
        s.platform.windows = { { 42, 100, 0, Rect { 0, 0, 100, 100 } } };
        s.platform.windows[0].shown = false;
        s.state().setTargetMode(TargetMode::window(42));
        s.app->screenshotToDesktop();
        EXPECT_TRUE(s.platform.log.empty()) << "nothing captured";
    }
    { // screen capture gives nothing: overlay back, then stop
        Shooting s;
        s.platform.screenCaptureWorks = false;
        s.app->takeScreenshot();
        EXPECT_TRUE(s.overlay().shown);
        EXPECT_TRUE(s.platform.clipboard.empty());
        EXPECT_TRUE(s.home.desktopFiles().empty());
        EXPECT_FALSE(s.flashed());
        EXPECT_EQ(s.platform.notifications, (std::vector { nothing + "the screen could not be captured." }));
    }
    { // no primary screen: stop before hiding
        Shooting s;
        s.platform.screen.reset();
        s.app->takeScreenshot();
        EXPECT_TRUE(s.overlay().log.empty());
        EXPECT_FALSE(s.flashed());
        EXPECT_EQ(s.platform.notifications.size(), 1u);
    }
    { // no overlay layer: the base alone, saved, and the flash says so, nothing else
        Shooting s;
        s.platform.overlayRenderWorks = false;
        s.app->takeScreenshot();
        EXPECT_EQ(s.platform.clipboard, "screen");
        EXPECT_TRUE(s.flashed());
        EXPECT_TRUE(s.platform.notifications.empty());
        EXPECT_TRUE(s.platform.problems.empty());
    }
    { // encoding fails: no file, clipboard untouched, no flash
        Shooting s;
        s.platform.encodeWorks = false;
        s.app->takeScreenshot();
        EXPECT_TRUE(s.platform.clipboard.empty());
        EXPECT_TRUE(s.home.desktopFiles().empty());
        EXPECT_FALSE(s.flashed());
        EXPECT_EQ(s.platform.notifications, (std::vector { nothing + "the image could not be encoded as PNG." }));
    }
    { // no home at all
        Shooting s;
        s.platform.home.clear();
        s.app->takeScreenshot();
        EXPECT_EQ(s.platform.clipboard, "screen+overlay");
        ASSERT_EQ(s.platform.notifications.size(), 1u);
        EXPECT_NE(s.platform.notifications[0].find("not saved: no home directory"), std::string::npos);
    }
}

TEST(Screenshot, AQuitWhileTheFlashIsUpDestroysItWithTheDelegateNotWithThePendingTask)
{
    std::vector<std::string> log;
    std::vector<std::pair<double, std::function<void()>>> pending;
    {
        Shooting s;
        s.app->takeScreenshot();
        s.app.reset();
        log = s.platform.log;
        // The platform drops pending work only after the delegate: the task must own nothing.
        pending = std::exchange(s.platform.delayed, {});
        EXPECT_EQ(std::count(log.begin(), log.end(), "flash destroyed"), 1) << "the delegate's teardown took the flash";
    }
    ASSERT_EQ(pending.size(), 1u);
    pending.front().second(); // runs after the delegate is gone: does nothing
    pending.clear();
}

TEST(NewFile, SecondShotInTheSameSecondGetsASuffixAndNothingIsOverwritten)
{
    TempHome home;
    auto folder = (home.path / "Desktop").string();
    std::vector<uint8_t> a { 'a' }, b { 'b' }, c { 'c' };
    auto first = writeNewFile(folder, "Tavelin_x", a);
    auto second = writeNewFile(folder, "Tavelin_x", b);
    auto third = writeNewFile(folder, "Tavelin_x", c);
    ASSERT_TRUE(std::holds_alternative<WrittenFile>(third));
    EXPECT_EQ(std::get<WrittenFile>(second).path, folder + "/Tavelin_x-2.png");
    EXPECT_EQ(home.desktopFiles(), (std::vector<std::string> { "Tavelin_x-2.png", "Tavelin_x-3.png", "Tavelin_x.png" }))
        << "no temporary files left behind";
    EXPECT_EQ(contents(folder + "/Tavelin_x.png"), "a");
    auto slashed = writeNewFile(folder + "/", "Tavelin_x", a);
    EXPECT_EQ(std::get<WrittenFile>(slashed).path, folder + "/Tavelin_x-4.png") << "one slash";
}

TEST(NewFile, NeverFollowsALinkPlantedAtTheName)
{
    TempHome home;
    auto folder = (home.path / "Desktop").string();
    auto victim = home.plantLink("Tavelin_y.png");
    auto result = writeNewFile(folder, "Tavelin_y", { 'x' });
    ASSERT_TRUE(std::holds_alternative<WrittenFile>(result));
    EXPECT_EQ(std::get<WrittenFile>(result).path, folder + "/Tavelin_y-2.png");
    EXPECT_EQ(contents(victim), "keep");
}

TEST(NewFile, AnUnwritableFolderIsAnErrorNotAPartialFile)
{
    TempHome home;
    auto result = writeNewFile((home.path / "missing").string(), "Tavelin_z", { 'x' });
    ASSERT_TRUE(std::holds_alternative<WriteError>(result));
    if (geteuid() != 0) { // root writes anywhere
        fs::permissions(home.path / "Desktop", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_TRUE(std::holds_alternative<WriteError>(writeNewFile((home.path / "Desktop").string(), "T", { 'x' })));
        fs::permissions(home.path / "Desktop", fs::perms::owner_all);
    }
}

TEST(NewFile, WithoutNoReplaceRenameNorHardLinksTheFileIsCreatedExclusivelyAtItsName)
{
    using tavelin::shared::files::MoveCalls;
    using tavelin::shared::files::setMoveCalls;
    auto before = setMoveCalls(MoveCalls {
        [](int, const char*, const char*) { errno = EINVAL; return -1; },
        [](int, const char*, const char*) { errno = EPERM; return -1; },
    });
    TempHome home;
    auto folder = (home.path / "Desktop").string();
    auto victim = home.plantLink("Tavelin_w-2.png");
    auto first = writeNewFile(folder, "Tavelin_w", { 'a' });
    auto second = writeNewFile(folder, "Tavelin_w", { 'b' });
    auto exact = tavelin::shared::files::writeFileNoReplace(folder + "/Tavelin_w.png", { 'c' });
    setMoveCalls(before);
    ASSERT_TRUE(std::holds_alternative<WrittenFile>(first)) << std::get<WriteError>(first).message;
    ASSERT_TRUE(std::holds_alternative<WrittenFile>(second)) << std::get<WriteError>(second).message;
    EXPECT_EQ(std::get<WrittenFile>(second).path, folder + "/Tavelin_w-3.png") << "the link is passed over";
    EXPECT_TRUE(std::holds_alternative<WriteError>(exact)) << "an existing file is never replaced";
    EXPECT_EQ(contents(folder + "/Tavelin_w.png"), "a");
    EXPECT_EQ(contents(folder + "/Tavelin_w-3.png"), "b");
    EXPECT_EQ(contents(victim), "keep");
    EXPECT_EQ(home.desktopFiles(), (std::vector<std::string> { "Tavelin_w-2.png", "Tavelin_w-3.png", "Tavelin_w.png" }))
        << "no temporary files left behind";
}
