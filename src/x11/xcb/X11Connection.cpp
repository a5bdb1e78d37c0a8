// Tavelin's own xcb connection: the screen, its root and cached atoms.
#include "x11/xcb/X11Connection.h"

#include "x11/xcb/XcbReplies.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

namespace tavelin::x11::xcb {

X11Connection::X11Connection()
{
    m_connection = xcb_connect(nullptr, &m_screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem && i < m_screenNumber; ++i)
        xcb_screen_next(&it);
    m_screen = it.rem ? it.data : nullptr;
}

X11Connection::~X11Connection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t X11Connection::atom(const std::string& name)
{
    if (!m_connection)
        return XCB_NONE;
    if (auto it = m_atoms.find(name); it != m_atoms.end())
        return it->second;
    auto cookie = xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.c_str());
    auto reply = takeReply(m_connection, cookie, &xcb_intern_atom_reply);
    xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    if (result != XCB_NONE)
        m_atoms.emplace(name, result);
    return result;
}

bool X11Connection::selectionHasOwner(const std::string& name)
{
    auto selection = atom(name);
    if (selection == XCB_NONE)
        return false;
    auto reply = takeReply(m_connection, xcb_get_selection_owner(m_connection, selection), &xcb_get_selection_owner_reply);
    return reply && reply->owner != XCB_NONE;
}

void X11Connection::flush()
{
    if (m_connection)
        xcb_flush(m_connection);
}

xcb_connection_t* qtConnection()
{
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

void flushQtConnection()
{
    if (auto* connection = qtConnection())
        xcb_flush(connection);
}

}
