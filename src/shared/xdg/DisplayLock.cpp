// The display lock: an flock on a file of the user's runtime folder.
#include "shared/xdg/DisplayLock.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavelin::shared::xdg {

namespace {

// ":1.0", "unix:1" and ":1" are the same display (libxcb reads the host "unix" as the local
// socket); a name may not climb out of the folder.
std::string fileName(const std::string& display)
{
    std::string name = display;
    if (auto colon = name.rfind(':'); colon != std::string::npos) {
        if (auto dot = name.find('.', colon); dot != std::string::npos)
            name.resize(dot);
        if (name.compare(0, colon, "unix") == 0)
            name.erase(0, colon);
    }
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return "tavelin-" + name + ".lock";
}

}

DisplayLock::Result DisplayLock::take(const std::string& runtimeFolder, const std::string& display, std::string& problem)
{
    release();
    if (runtimeFolder.empty()) {
        problem = "no runtime folder";
        return Result::unavailable;
    }
    std::string path = runtimeFolder + "/" + fileName(display);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return Result::unavailable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        if (error == EWOULDBLOCK)
            return Result::held;
        problem = "cannot lock " + path + ": " + std::strerror(error);
        return Result::unavailable;
    }
    m_fd = fd;
    return Result::ours;
}

std::string waylandDisplay(const std::string& runtimeFolder, const std::string& display)
{
    namespace fs = std::filesystem;
    if (display.empty() || runtimeFolder.empty())
        return display;
    std::error_code error;
    fs::path socket = fs::weakly_canonical(display.front() == '/' ? fs::path(display) : fs::path(runtimeFolder) / display, error);
    fs::path folder = fs::weakly_canonical(runtimeFolder, error);
    if (error || socket.empty())
        return display;
    return socket.parent_path() == folder ? socket.filename().string() : socket.string();
}

void DisplayLock::release()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

}
