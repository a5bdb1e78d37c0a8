// An input-only window over a shaped overlay, so it takes the pointer where it has no pixels.
#include "x11/overlay/AdjustInputWindow.h"

#include "shared/OwnWindows.h"
#include "x11/overlay/StackKeeper.h"

#include <QCoreApplication>

#include <algorithm>
#include <cassert>

namespace tavelin::x11::overlay {

namespace {

constexpr uint8_t leftButton = 1;

uint16_t extent(int v) { return uint16_t(std::clamp(v, 1, 0x7fff)); }
int16_t position(int v) { return int16_t(std::clamp(v, -0x8000, 0x7fff)); }

}

// CreateWindow of class InputOnly: depth 0, visual CopyFromParent, and only the attributes an
// InputOnly window may have (override-redirect and the event mask among them).
AdjustInputWindow::AdjustInputWindow(Handlers handlers)
    : m_handlers(std::move(handlers))
    , m_connection(xcb::qtConnection())
{
    if (!m_connection)
        return;
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    auto screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem)
        return;
    m_window = xcb_generate_id(m_connection);
    uint32_t values[] = { 1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_1_MOTION };
    xcb_create_window(m_connection, 0, m_window, screens.data->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    shared::registerOwnTopLevel(m_window);
    StackKeeper::instance().keep(m_window, rank::adjustInput);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

AdjustInputWindow::~AdjustInputWindow()
{
    if (m_window == XCB_NONE)
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    shared::unregisterOwnTopLevel(m_window);
    StackKeeper::instance().release(m_window);
    xcb_destroy_window(m_connection, m_window);
    xcb_flush(m_connection);
}

// ConfigureWindow with stack mode Above and no sibling puts it on top of all its siblings, the
// overlay included (mapping does not raise by itself); the stack keeper then puts it back
// under the popups of others.
void AdjustInputWindow::cover(const QRect& geometry)
{
    if (m_window == XCB_NONE || geometry.isEmpty())
        return;
    m_geometry = geometry;
    uint32_t values[] = { uint32_t(position(geometry.x())), uint32_t(position(geometry.y())),
        extent(geometry.width()), extent(geometry.height()), XCB_STACK_MODE_ABOVE };
    xcb_configure_window(m_connection, m_window,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT
            | XCB_CONFIG_WINDOW_STACK_MODE,
        values);
    if (!m_mapped)
        xcb_map_window(m_connection, m_window);
    m_mapped = true;
    xcb_flush(m_connection);
    StackKeeper::instance().restackNow();
}

void AdjustInputWindow::uncover()
{
    if (m_window == XCB_NONE || !m_mapped)
        return;
    xcb_unmap_window(m_connection, m_window);
    xcb_flush(m_connection);
    m_mapped = false;
}

bool AdjustInputWindow::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    auto* event = static_cast<const xcb_generic_event_t*>(message);
    uint8_t type = event->response_type & 0x7f;
    if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE && type != XCB_MOTION_NOTIFY)
        return false;
    // Press, release and motion events share their layout up to the position fields.
    auto* pointer = reinterpret_cast<const xcb_button_press_event_t*>(event);
    if (pointer->event != m_window || m_window == XCB_NONE)
        return false;
    handle(event);
    return true;
}

// Only the left button drags, as on the overlay itself. While it is held the server sends the
// motion and the release here, wherever the pointer goes (the press's implicit grab).
void AdjustInputWindow::handle(const xcb_generic_event_t* event)
{
    auto* pointer = reinterpret_cast<const xcb_button_press_event_t*>(event);
    core::Point at { double(pointer->event_x), double(pointer->event_y) };
    switch (event->response_type & 0x7f) {
    case XCB_BUTTON_PRESS:
        if (pointer->detail == leftButton && m_handlers.pressed)
            m_handlers.pressed(at);
        break;
    case XCB_MOTION_NOTIFY:
        if ((pointer->state & XCB_BUTTON_MASK_1) && m_handlers.moved)
            m_handlers.moved(at);
        break;
    case XCB_BUTTON_RELEASE:
        if (pointer->detail == leftButton && m_handlers.released)
            m_handlers.released(at);
        break;
    default:
        assert(false);
    }
}

}
