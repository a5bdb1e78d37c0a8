// wlpointer: moves, clicks and drags a virtual pointer on a wlroots compositor for end-to-end tests.
#include "wlr-virtual-pointer-unstable-v1-client.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: wlpointer STEP...   where STEP is one of\n"
    "  move X Y | press [left|right|middle] | release [left|right|middle] |\n"
    "  click [left|right|middle] | glide X Y (in 16 steps from where the pointer is) |\n"
    "  serve (then one line of steps at a time from stdin, each answered ok or error on stdout,\n"
    "         on the same device until stdin closes)\n"
    "X and Y are in the compositor's space; the extent is the box around all outputs.\n";

struct Output {
    wl_output* proxy = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
};

struct State {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
    std::vector<Output*> outputs;
};

void geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
              int32_t)
{
    static_cast<Output*>(data)->x = x;
    static_cast<Output*>(data)->y = y;
}

void mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        static_cast<Output*>(data)->width = width;
        static_cast<Output*>(data)->height = height;
    }
}

void ignoreDone(void*, wl_output*) { }
void ignoreScale(void*, wl_output*, int32_t) { }
void ignoreText(void*, wl_output*, const char*) { }

const wl_output_listener outputListener { geometry, mode, ignoreDone, ignoreScale, ignoreText, ignoreText };

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* state = static_cast<State*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !state->seat) {
        state->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name)) {
        state->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (!std::strcmp(interface, wl_output_interface.name)) {
        auto* output = new Output;
        state->outputs.push_back(output);
        output->proxy = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
        wl_output_add_listener(output->proxy, &outputListener, output);
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

// Linux input event codes for the three buttons.
uint32_t buttonCode(const std::string& name)
{
    if (name == "right")
        return 0x111;
    if (name == "middle")
        return 0x112;
    return 0x110;
}

bool isButtonName(const char* word)
{
    return word && (!std::strcmp(word, "left") || !std::strcmp(word, "right") || !std::strcmp(word, "middle"));
}

struct Pointer {
    wl_display* display;
    zwlr_virtual_pointer_v1* device;
    int left, top, width, height;
    int x = 0, y = 0;

    // Each step is sent as one frame and waited for, so that it reaches clients before the next.
    void move(int toX, int toY)
    {
        x = std::clamp(toX, left, left + width - 1);
        y = std::clamp(toY, top, top + height - 1);
        zwlr_virtual_pointer_v1_motion_absolute(device, nowMs(), x - left, y - top, width, height);
        finish();
    }

    void button(uint32_t code, bool down)
    {
        zwlr_virtual_pointer_v1_button(device, nowMs(), code,
                                       down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
        finish();
    }

    void finish()
    {
        zwlr_virtual_pointer_v1_frame(device);
        wl_display_roundtrip(display);
    }
};

int run(Pointer& pointer, int argc, char** argv);

// One device for a whole session: the seat keeps its pointer while tests start and end clients,
// and a drag's press, moves and release come from the same device.
void serve(Pointer& pointer)
{
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::vector<char*> words { nullptr };
        for (char* word = std::strtok(line, " \t\n"); word; word = std::strtok(nullptr, " \t\n"))
            words.push_back(word);
        bool served = words.size() > 1 && words[1] != std::string("serve")
            && run(pointer, int(words.size()), words.data()) == 0;
        std::fputs(served ? "ok\n" : "error\n", stdout);
        std::fflush(stdout);
    }
}

int run(Pointer& pointer, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        auto coordinate = [&](int at) { return static_cast<int>(std::strtol(argv[at], nullptr, 10)); };
        if ((step == "move" || step == "glide") && i + 2 < argc) {
            int toX = coordinate(i + 1), toY = coordinate(i + 2);
            if (step == "glide") {
                int fromX = pointer.x, fromY = pointer.y;
                for (int n = 1; n < 16; ++n)
                    pointer.move(fromX + (toX - fromX) * n / 16, fromY + (toY - fromY) * n / 16);
            }
            pointer.move(toX, toY);
            i += 2;
        } else if (step == "press" || step == "release" || step == "click") {
            std::string name = isButtonName(i + 1 < argc ? argv[i + 1] : nullptr) ? argv[++i] : "left";
            if (step != "release")
                pointer.button(buttonCode(name), true);
            if (step != "press")
                pointer.button(buttonCode(name), false);
        } else if (step == "serve") {
            serve(pointer);
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("wlpointer: no Wayland display\n", stderr);
        return 1;
    }
    State state;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &state);
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!state.manager || state.outputs.empty()) {
        std::fputs("wlpointer: the compositor offers no virtual pointers or no outputs\n", stderr);
        return 1;
    }
    int left = state.outputs[0]->x, top = state.outputs[0]->y, right = left, bottom = top;
    for (const Output* o : state.outputs) {
        left = std::min(left, o->x);
        top = std::min(top, o->y);
        right = std::max(right, o->x + o->width);
        bottom = std::max(bottom, o->y + o->height);
    }
    Pointer pointer { display, zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state.manager, state.seat),
                      left, top, right - left, bottom - top };
    wl_display_roundtrip(display);
    int status = run(pointer, argc, argv);
    zwlr_virtual_pointer_v1_destroy(pointer.device);
    wl_display_roundtrip(display);
    for (Output* o : state.outputs) {
        wl_output_destroy(o->proxy);
        delete o;
    }
    zwlr_virtual_pointer_manager_v1_destroy(state.manager);
    if (state.seat)
        wl_seat_destroy(state.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return status;
}
