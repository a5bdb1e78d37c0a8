// Hearing at once when a followed window moves, changes size or leaves the screen (StructureNotify).
#include "x11/windows/BoundsWatch.h"

#include "x11/windows/TopLevelWindows.h"
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace tavelin::x11::windows {

namespace {

constexpr uint32_t clientMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
constexpr uint32_t frameMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;

// Every StructureNotify event (DestroyNotify to CirculateNotify) and PropertyNotify carry the window
// they were selected on right after the sequence number (X11 protocol, "Events").
xcb_window_t selectedOn(const xcb_generic_event_t& event)
{
    xcb_window_t window;
    std::memcpy(&window, reinterpret_cast<const uint8_t*>(&event) + 4, sizeof window);
    return window;
}

}

BoundsWatch::BoundsWatch()
{
    auto* c = m_x11.connection();
    if (!c || !m_x11.screen())
        return;
    m_clientList = m_x11.atom("_NET_CLIENT_LIST");
    for (const char* name : { "_NET_FRAME_EXTENTS", "_GTK_FRAME_EXTENTS", "WM_STATE" })
        m_clientAtoms.push_back(m_x11.atom(name));
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
}

BoundsWatch::~BoundsWatch() = default;

core::WatchId BoundsWatch::watch(xcb_window_t client, std::function<void()> changed)
{
    if (!m_notifier || client == XCB_NONE)
        return 0;
    Watched watched { client, XCB_NONE, std::move(changed) };
    if (m_watched.empty())
        setMask(m_x11.root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
    if (!select(watched)) {
        if (m_watched.empty())
            setMask(m_x11.root(), XCB_EVENT_MASK_NO_EVENT);
        return 0;
    }
    auto token = m_nextToken++;
    m_watched.emplace(token, std::move(watched));
    // The selection's round trip may have pulled events off the socket: read them too.
    QTimer::singleShot(0, m_notifier.get(), [this, token] {
        notify({ token });
        if (m_notifier->isEnabled())
            readEvents();
    });
    return token;
}

void BoundsWatch::remove(core::WatchId token)
{
    auto it = m_watched.find(token);
    if (it == m_watched.end())
        return;
    Watched gone = std::move(it->second);
    m_watched.erase(it);
    auto stillWatched = [&](xcb_window_t w) {
        return std::any_of(m_watched.begin(), m_watched.end(),
            [&](auto& entry) { return entry.second.client == w || entry.second.frame == w; });
    };
    for (auto w : { gone.client, gone.frame })
        if (w != XCB_NONE && !stillWatched(w))
            setMask(w, XCB_EVENT_MASK_NO_EVENT);
    if (m_watched.empty())
        setMask(m_x11.root(), XCB_EVENT_MASK_NO_EVENT);
    m_x11.flush();
}

void BoundsWatch::setMask(xcb_window_t window, uint32_t mask)
{
    xcb_change_window_attributes(m_x11.connection(), window, XCB_CW_EVENT_MASK, &mask);
}

// Answered after the selection took effect: from the reply on, no move of the window is missed,
// and a BadWindow says it is gone already.
bool BoundsWatch::select(Watched& watched)
{
    auto* c = m_x11.connection();
    auto frame = topLevelOf(m_x11, watched.client);
    if (watched.frame != XCB_NONE && watched.frame != watched.client && watched.frame != frame)
        setMask(watched.frame, XCB_EVENT_MASK_NO_EVENT);
    watched.frame = frame.value_or(XCB_NONE);
    uint32_t mask = watched.frame == watched.client ? clientMask | frameMask : clientMask;
    auto check = xcb_change_window_attributes_checked(c, watched.client, XCB_CW_EVENT_MASK, &mask);
    if (watched.frame != XCB_NONE && watched.frame != watched.client)
        setMask(watched.frame, frameMask);
    auto* error = xcb_request_check(c, check);
    free(error);
    return !error && frame;
}

void BoundsWatch::readEvents()
{
    auto* c = m_x11.connection();
    for (;;) {
        std::vector<core::WatchId> tokens;
        bool reselect = false;
        while (auto* event = xcb_poll_for_event(c)) {
            for (auto token : concerned(*event, reselect))
                if (std::find(tokens.begin(), tokens.end(), token) == tokens.end())
                    tokens.push_back(token);
            free(event);
        }
        if (xcb_connection_has_error(c)) {
            m_notifier->setEnabled(false);
            return;
        }
        if (tokens.empty())
            return;
        // Put into another frame (a window manager started or replaced): the new frame moves from now
        // on. The selection's round trip pulls later events off the socket, where the notifier no
        // longer sees them: the next pass reads them.
        if (reselect)
            for (auto token : tokens)
                if (auto it = m_watched.find(token); it != m_watched.end())
                    select(it->second);
        notify(tokens);
    }
}

std::vector<core::WatchId> BoundsWatch::concerned(const xcb_generic_event_t& event, bool& reselect)
{
    uint8_t type = event.response_type & 0x7f;
    std::vector<core::WatchId> tokens;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        bool bounds = std::find(m_clientAtoms.begin(), m_clientAtoms.end(), e.atom) != m_clientAtoms.end();
        for (auto& [token, w] : m_watched)
            if ((e.window == m_x11.root() && e.atom == m_clientList) || (e.window == w.client && bounds))
                tokens.push_back(token);
        return tokens;
    }
    if (type < XCB_DESTROY_NOTIFY || type > XCB_CIRCULATE_NOTIFY)
        return tokens; // errors of windows gone meanwhile, and what we did not select
    auto on = selectedOn(event);
    for (auto& [token, w] : m_watched) {
        if (on != w.client && on != w.frame)
            continue;
        tokens.push_back(token);
        reselect |= type == XCB_REPARENT_NOTIFY || type == XCB_DESTROY_NOTIFY;
    }
    return tokens;
}

// A watch removed by an earlier call in the same batch hears nothing more.
void BoundsWatch::notify(const std::vector<core::WatchId>& tokens)
{
    for (auto token : tokens) {
        auto it = m_watched.find(token);
        if (it == m_watched.end())
            continue;
        auto changed = it->second.changed;
        changed();
    }
}

}
