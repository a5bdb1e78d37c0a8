// Shared by x11probe's files: the one connection, owned replies, windows, the event loop, the window commands.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace probe {

extern xcb_connection_t* c;
extern xcb_window_t root;

template<typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

// Every xcb reply may be null (an X error, a window gone): callers test before use.
template<typename T>
Reply<T> own(T* reply) { return Reply<T>(reply, &free); }

xcb_atom_t atom(const char* name);
xcb_screen_t* screen();
// CLOCK_MONOTONIC in milliseconds, the clock Python's time.monotonic() reads.
double nowMs();
// Hands every event (and its type) to handle for seconds, running idle between rounds and flushing
// stdout after each: 0 then, or 1 once the connection breaks.
int eachEvent(double seconds, const std::function<void(xcb_generic_event_t*, int)>& handle,
    const std::function<void()>& idle = {});

// Windows and shapes (x11probe_windows.cpp).
int findWindows(long pid, const char* title);
int watchWindow(long pid, const char* title, double seconds, bool withShape);
int printShape(xcb_window_t w, const char* kind);
int changeWmState(xcb_window_t w, bool add, const char* state);

}
