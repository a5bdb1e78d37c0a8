// One Tavelin per display, also where the session bus cannot tell: a lock in the runtime folder.
#pragma once

#include <string>

namespace tavelin::shared::xdg {

// An flock on $XDG_RUNTIME_DIR/tavelin-<display>.lock, held while the object lives (the kernel lets
// go of it when the process ends, however it ends). The session bus's name says who runs in a
// session; this says who draws on a display, which two sessions (or one whose bus is unreachable)
// can share.
class DisplayLock {
public:
    enum class Result { ours, held, unavailable };

    DisplayLock() = default;
    ~DisplayLock() { release(); }
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

    // display: the backend's own name for it (":1", "wayland-1"); problem: why, when unavailable.
    Result take(const std::string& runtimeFolder, const std::string& display, std::string& problem);
    void release();

private:
    int m_fd = -1;
};

// WAYLAND_DISPLAY by the socket it names: libwayland takes a name in the runtime folder or a
// socket's absolute path, and the two spellings of one socket are one display ("wayland-1").
std::string waylandDisplay(const std::string& runtimeFolder, const std::string& display);

}
