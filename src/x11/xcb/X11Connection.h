// Tavelin's own xcb connection for the X11 backend: the screen, its root and cached atoms; and Qt's.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace tavelin::x11::xcb {

// Our own connection (not Qt's), so X errors from queries on vanishing windows come back to us
// as null replies and never reach Qt's error handler.
class X11Connection {
public:
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool isValid() const { return m_connection != nullptr; }
    xcb_connection_t* connection() const { return m_connection; }
    xcb_screen_t* screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen ? m_screen->root : XCB_NONE; }

    // Interned once, cached; XCB_NONE on failure.
    xcb_atom_t atom(const std::string& name);
    // The <n> of per-screen manager selections (ICCCM 2.8): _NET_WM_CM_S<n>, _NET_SYSTEM_TRAY_S<n>.
    int screenNumber() const { return m_screenNumber; }
    // Whether some client owns the selection now: the manager it names runs.
    bool selectionHasOwner(const std::string& name);

    void flush();

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    int m_screenNumber = 0;
    std::unordered_map<std::string, xcb_atom_t> m_atoms;
};

// The connection Qt's windows live on; none when Qt runs on another platform than xcb.
xcb_connection_t* qtConnection();
// Sends what Qt queued on its connection (an unmap, a shape) now, for code that then blocks.
void flushQtConnection();

}
