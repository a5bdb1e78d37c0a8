// wlpointer: moves, clicks and drags a virtual pointer on a wlroots compositor for end-to-end tests.
#include "wlr-virtual-pointer-unstable-v1-client.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// One device for a whole session, so that the seat keeps its pointer while tests start and end
// clients and a drag's press, moves and release come from the same device: its space is W × H
// from the compositor's origin (the session's output, whose size the test knows), it starts at
// X Y, then runs one line of steps at a time from stdin (move X Y, press, release, click: the left
// button), each answered ok or error.
constexpr const char* usage = "usage: wlpointer W H X Y, then lines of steps on stdin: move X Y | press | release | click\n";

struct State {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* state = static_cast<State*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !state->seat) {
        state->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name)) {
        state->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void globalRemove(void*, wl_registry*, uint32_t) { }

const wl_registry_listener registryListener { global, globalRemove };

uint32_t nowMs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

constexpr uint32_t leftButton = 0x110; // BTN_LEFT

struct Pointer {
    wl_display* display;
    zwlr_virtual_pointer_v1* device;
    int width, height;

    // Each step is sent as one frame and waited for, so that it reaches clients before the next.
    void move(int x, int y)
    {
        zwlr_virtual_pointer_v1_motion_absolute(device, nowMs(), std::clamp(x, 0, width - 1),
                                                std::clamp(y, 0, height - 1), width, height);
        finish();
    }

    void button(bool down)
    {
        zwlr_virtual_pointer_v1_button(device, nowMs(), leftButton,
                                       down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
        finish();
    }

    void finish()
    {
        zwlr_virtual_pointer_v1_frame(device);
        wl_display_roundtrip(display);
    }
};

// Runs one line's steps; false at a word that is no step.
bool run(Pointer& pointer, char* line)
{
    for (char* word = std::strtok(line, " \t\n"); word; word = std::strtok(nullptr, " \t\n")) {
        std::string step = word;
        if (step == "move") {
            char* x = std::strtok(nullptr, " \t\n");
            char* y = x ? std::strtok(nullptr, " \t\n") : nullptr;
            if (!y)
                return false;
            pointer.move(std::atoi(x), std::atoi(y));
        } else if (step == "press" || step == "release" || step == "click") {
            if (step != "release")
                pointer.button(true);
            if (step != "press")
                pointer.button(false);
        } else {
            return false;
        }
    }
    return true;
}

}

int main(int argc, char** argv)
{
    if (argc != 5 || std::atoi(argv[1]) <= 0 || std::atoi(argv[2]) <= 0) {
        std::fputs(usage, stderr);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("wlpointer: no Wayland display\n", stderr);
        return 1;
    }
    State state;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &state);
    wl_display_roundtrip(display);
    if (!state.manager) {
        std::fputs("wlpointer: the compositor offers no virtual pointers\n", stderr);
        return 1;
    }
    Pointer pointer { display, zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state.manager, state.seat),
                      std::atoi(argv[1]), std::atoi(argv[2]) };
    wl_display_roundtrip(display);
    pointer.move(std::atoi(argv[3]), std::atoi(argv[4]));
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::fputs(run(pointer, line) ? "ok\n" : "error\n", stdout);
        std::fflush(stdout);
    }
    wl_display_disconnect(display); // the compositor drops the device and every proxy with the client
    return 0;
}
