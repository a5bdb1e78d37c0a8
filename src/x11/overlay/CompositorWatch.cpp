// Whether a compositing manager draws the screen, now and whenever one starts or stops.
#include "x11/overlay/CompositorWatch.h"

#include "x11/xcb/XcbReplies.h"

#include <xcb/xfixes.h>

#include <QSocketNotifier>

#include <cstdlib>
#include <string>

namespace tavelin::x11::overlay {

CompositorWatch::CompositorWatch()
{
    auto* c = m_x11.connection();
    if (!c || !m_x11.screen())
        return;
    m_selection = m_x11.atom("_NET_WM_CM_S" + std::to_string(m_x11.screenNumber()));
    bool subscribed = subscribe();
    // Asked after the subscription took effect: a change from here on is reported.
    readOwner();
    if (!subscribed)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CompositorWatch::readEvents);
    // The set-up round trips may have queued events the socket will not announce again.
    readEvents();
}

CompositorWatch::~CompositorWatch() = default;

// XFixes SelectSelectionInput: a SelectionNotify event whenever the selection gets an owner, or
// loses it because the owner's window was destroyed or its client closed (the usual way a
// compositing manager ends). XFixes QueryVersion must come first or the server refuses.
bool CompositorWatch::subscribe()
{
    auto* c = m_x11.connection();
    const auto* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!extension || !extension->present || m_selection == XCB_NONE)
        return false;
    auto version = xcb::takeReply(c, xcb_xfixes_query_version(c, 5, 0), &xcb_xfixes_query_version_reply);
    if (!version)
        return false;
    m_xfixesEventBase = extension->first_event;
    xcb_xfixes_select_selection_input(c, m_x11.root(), m_selection,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
            | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    return true;
}

// GetSelectionOwner; an error or a missing reply counts as no owner.
bool CompositorWatch::readOwner()
{
    auto* c = m_x11.connection();
    if (m_selection == XCB_NONE)
        return false;
    auto reply = xcb::takeReply(c, xcb_get_selection_owner(c, m_selection), &xcb_get_selection_owner_reply);
    update(reply && reply->owner != XCB_NONE);
    return true;
}

void CompositorWatch::readEvents()
{
    auto* c = m_x11.connection();
    for (;;) {
        bool changed = false;
        while (auto* event = xcb_poll_for_event(c)) {
            uint8_t type = event->response_type & 0x7f;
            if (type == m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY) {
                auto* notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event);
                changed |= notify->selection == m_selection;
            }
            free(event);
        }
        if (!changed)
            break;
        // The events say what happened; the owner now says where it ended, after a quick restart
        // too. Events that came in during this round trip are read in the next pass.
        readOwner();
    }
    // A broken connection reads as readable for ever; the last answer stays.
    if (xcb_connection_has_error(c))
        m_notifier->setEnabled(false);
}

void CompositorWatch::update(bool compositing)
{
    if (compositing == m_compositing)
        return;
    m_compositing = compositing;
    emit compositingChanged(compositing);
}

}
