// Knowing when a window being unmapped has really left the screen's pixels (Damage on the root).
//
// After an unmap the root's image keeps the old pixels until whoever draws the screen has drawn
// over them: a window manager first withdraws its frame (openbox takes a few milliseconds, more
// under load), then the compositing manager repaints the area, or without one the server paints
// the background and the windows below repaint on Expose. Sleeping a fixed time guesses at all
// of that. Instead we watch, on a connection of our own so the events arrive in the server's
// order:
//   1. StructureNotify on the root's child that holds the window (the frame), then
//   2. Damage on the root, which reports every drawing that reaches the screen, a compositing
//      manager's included (xcompmgr draws on the root, picom on its overlay window inside it).
// The window is gone once its top-level was unmapped and, after that, drawings have covered all
// of the area it lay on and the area has been quiet for a moment (the windows below finishing
// their repaint). Both are set up and confirmed with one round trip before the unmap is pushed
// out, so nothing between unmap and repaint can slip past. If the top-level was already off the
// screen when we looked, the repaint may have passed already: a short bounded wait stands in.
#include "x11/capture/RemovalWatch.h"

#include "x11/screens/RandrScreens.h"
#include "x11/windows/TopLevelWindows.h"
#include "x11/xcb/XcbReplies.h"

#include <xcb/damage.h>
#include <xcb/shape.h>

#include <QRegion>

#include <algorithm>
#include <chrono>
#include <optional>
#include <poll.h>
#include <vector>

namespace tavelin::x11::capture {

namespace {

using Clock = std::chrono::steady_clock;

// No drawing in the area for this long after it was covered: the windows below have repainted.
constexpr auto quietTime = std::chrono::milliseconds(20);
// Windows that never stop drawing (video, animations) end the settling after this.
constexpr auto settleLimit = std::chrono::milliseconds(100);
// When the top-level was already unmapped as the watch began: the repaint usually follows
// within this, and may have happened before we looked.
constexpr auto unseenUnmapWait = std::chrono::milliseconds(250);
// How often the quiet time is looked at while no events come.
constexpr auto tick = std::chrono::milliseconds(5);

// The Shape extension's rectangles of a window (the whole window when it has no shape).
QRegion shownRegion(const xcb_shape_get_rectangles_reply_t& reply)
{
    auto* rectangles = xcb_shape_get_rectangles_rectangles(&reply);
    int count = xcb_shape_get_rectangles_rectangles_length(&reply);
    std::vector<QRect> rects;
    rects.reserve(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        rects.emplace_back(rectangles[i].x, rectangles[i].y, rectangles[i].width, rectangles[i].height);
    QRegion region;
    // setRects takes a banded list as it is; any other order goes through the unions.
    if (reply.ordering == XCB_CLIP_ORDERING_YX_BANDED) {
        region.setRects(rects.data(), count);
        return region;
    }
    for (const QRect& r : rects)
        region += r;
    return region;
}

// Whether event tells that window was unmapped or destroyed. Both events carry the window at the
// same place (X11 protocol, UnmapNotify and DestroyNotify).
bool isUnmapOf(const xcb_generic_event_t* event, xcb_window_t window)
{
    uint8_t type = event->response_type & 0x7f;
    return (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY)
        && reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == window;
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}

struct RemovalWatch::Session {
    Clock::time_point start = Clock::now();
    xcb_window_t topLevel = XCB_NONE;
    xcb_damage_damage_t damage = XCB_NONE;
    QRegion area;             // where the top-level lay, on the root
    bool unmapped = false;    // its UnmapNotify or DestroyNotify has arrived
    bool unmapUnseen = false; // it was off the screen before we watched
    QRegion repainted;        // drawings inside area since the unmap
    bool coverToCheck = false; // drawings came in since the cover was last worked out
    std::optional<Clock::time_point> coveredAt;
    Clock::time_point lastDrawing = start;

    bool isGone(Clock::time_point now) const
    {
        if (area.isEmpty())
            return true;
        bool quiet = now - lastDrawing >= quietTime;
        if (coveredAt)
            return quiet || now - *coveredAt >= settleLimit;
        return unmapUnseen && quiet && now - start >= unseenUnmapWait;
    }

    // A shaped window's area may hold thousands of rectangles, and its repaint comes as as many
    // events: drawings are gathered per event, the cover is worked out once per batch.
    void noteDrawing(const QRect& rect, Clock::time_point now)
    {
        if (!unmapped || !area.boundingRect().intersects(rect))
            return;
        repainted += rect.intersected(area.boundingRect());
        lastDrawing = now;
        coverToCheck = true;
    }

    void noteCover(Clock::time_point now)
    {
        if (coverToCheck && !coveredAt && (area - repainted).isEmpty())
            coveredAt = now;
        coverToCheck = false;
    }
};

RemovalWatch::RemovalWatch()
{
    auto* c = m_x11.connection();
    if (!c)
        return;
    const auto* extension = xcb_get_extension_data(c, &xcb_damage_id);
    if (!extension || !extension->present)
        return;
    // Damage: QueryVersion first, or the server refuses the other requests.
    auto version = xcb::takeReply(c, xcb_damage_query_version(c, 1, 1), &xcb_damage_query_version_reply);
    m_hasDamage = version != nullptr;
    m_damageEventBase = extension->first_event;
}

RemovalWatch::Outcome RemovalWatch::waitUntilGone(xcb_window_t window, const std::function<void()>& sendUnmap,
    double minSeconds)
{
    Session session;
    bool watching = prepare(session, window);
    sendUnmap();
    auto minimum = session.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minSeconds));
    auto deadline = std::max(minimum,
        session.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds)));
    auto* c = m_x11.connection();
    Outcome outcome;
    for (;;) {
        while (c) {
            auto* event = xcb_poll_for_event(c);
            if (!event)
                break;
            dispatch(session, event);
            free(event);
        }
        auto now = Clock::now();
        session.noteCover(now);
        bool gone = watching && session.isGone(now);
        if (gone && !outcome.seen) {
            outcome.seen = true;
            outcome.goneAfter = secondsSince(session.start);
        }
        if (((gone || !watching) && now >= minimum) || now >= deadline)
            break;
        auto until = gone || !watching ? minimum : std::min(deadline, now + tick);
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        pollfd fd { c ? xcb_get_file_descriptor(c) : -1, POLLIN, 0 };
        poll(&fd, 1, int(std::max<int64_t>(ms, 1)));
    }
    finish(session);
    outcome.waited = secondsSince(session.start);
    outcome.unmapUnseen = session.unmapUnseen;
    return outcome;
}

void RemovalWatch::waitUntilUnmapped(xcb_window_t window)
{
    auto* c = m_x11.connection();
    if (!c)
        return;
    while (auto* stale = xcb_poll_for_event(c))
        free(stale);
    uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    // Answered after the selection took effect: an unmap from here on is reported.
    auto attributes = xcb::takeReply(c, xcb_get_window_attributes(c, window), &xcb_get_window_attributes_reply);
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    bool unmapped = !attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE;
    while (!unmapped && Clock::now() < deadline) {
        while (auto* event = xcb_poll_for_event(c)) {
            unmapped = unmapped || isUnmapOf(event, window);
            free(event);
        }
        pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
        poll(&fd, 1, int(std::chrono::duration_cast<std::chrono::milliseconds>(tick).count()));
    }
    uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &none);
    m_x11.flush();
}

bool RemovalWatch::prepare(Session& session, xcb_window_t window)
{
    auto* c = m_x11.connection();
    if (!m_hasDamage || !c || !m_x11.screen() || window == XCB_NONE)
        return false;
    while (auto* stale = xcb_poll_for_event(c))
        free(stale);
    // A window manager may be taking its frame apart while we walk up the tree: walk again.
    std::optional<xcb_window_t> topLevel;
    for (int attempt = 0; attempt < 3 && !topLevel; ++attempt)
        topLevel = windows::topLevelOf(m_x11, window);
    if (!topLevel)
        return false;
    session.topLevel = *topLevel;
    session.damage = xcb_generate_id(c);
    xcb_damage_create(c, session.damage, m_x11.root(), XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, session.topLevel, XCB_CW_EVENT_MASK, &mask);
    // Answered after the two requests above took effect: from here on nothing is missed.
    auto geometryCookie = xcb_get_geometry(c, session.topLevel);
    auto attributesCookie = xcb_get_window_attributes(c, session.topLevel);
    auto shownCookie = xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING);
    auto originCookie = xcb_translate_coordinates(c, window, m_x11.root(), 0, 0);
    auto geometry = xcb::takeReply(c, geometryCookie, &xcb_get_geometry_reply);
    auto attributes = xcb::takeReply(c, attributesCookie, &xcb_get_window_attributes_reply);
    auto shown = xcb::takeReply(c, shownCookie, &xcb_shape_get_rectangles_reply);
    auto origin = xcb::takeReply(c, originCookie, &xcb_translate_coordinates_reply);
    auto [rootWidth, rootHeight] = screens::currentRootSize(m_x11);
    QRect rootRect(0, 0, rootWidth, rootHeight);
    if (geometry) {
        int border = geometry->border_width;
        session.area = QRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border)
                           .intersected(rootRect);
    } else {
        session.area = rootRect;
    }
    // Only what the window showed is repainted: a window shaped to a drawing (no compositing
    // manager) leaves the rest of its frame's rectangle untouched.
    if (shown && origin)
        session.area &= shownRegion(*shown).translated(origin->dst_x, origin->dst_y);
    session.unmapUnseen = !attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE;
    session.unmapped = session.unmapUnseen;
    return true;
}

void RemovalWatch::dispatch(Session& session, xcb_generic_event_t* event)
{
    uint8_t type = event->response_type & 0x7f;
    auto now = Clock::now();
    if (isUnmapOf(event, session.topLevel)) {
        if (!session.unmapped) {
            session.unmapped = true;
            session.lastDrawing = now;
        }
    } else if (m_hasDamage && type == m_damageEventBase + XCB_DAMAGE_NOTIFY) {
        auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(event);
        if (damage->damage == session.damage)
            session.noteDrawing(QRect(damage->area.x, damage->area.y, damage->area.width, damage->area.height), now);
    }
}

// Errors from a top-level that is gone by now arrive as events and are dropped next time.
void RemovalWatch::finish(Session& session)
{
    auto* c = m_x11.connection();
    if (!c || session.damage == XCB_NONE)
        return;
    xcb_damage_destroy(c, session.damage);
    uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(c, session.topLevel, XCB_CW_EVENT_MASK, &none);
    m_x11.flush();
}

}
