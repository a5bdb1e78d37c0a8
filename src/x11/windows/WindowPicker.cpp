// Picking a window by clicking it: a pointer grab on the root with a crosshair cursor.
#include "x11/windows/WindowPicker.h"

#include "x11/xcb/DesktopScale.h"
#include "x11/xcb/XcbReplies.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb_cursor.h>

#include <cassert>
#include <cstring>

namespace tavelin::x11::windows {

namespace {

// Another client's grab (an open menu, often the very tray menu that started the selection) ends
// within moments; one that lasts longer than this means the pointer cannot be had.
constexpr int retryIntervalMs = 50;
constexpr int retryForMs = 1500;
// The release that follows the picking press is swallowed too; a release that never comes must
// not leave the whole desktop without its pointer.
constexpr int releaseWaitMs = 2000;
constexpr uint8_t leftButton = 1;
// The crosshair glyph of the X core "cursor" font (X11/cursorfont.h: XC_crosshair); its mask
// is the glyph after it.
constexpr uint16_t crosshairGlyph = 34;

// The theme's crosshair if there is one, else the core font's.
xcb_cursor_t createCrosshair(xcb::X11Connection& x11)
{
    auto* c = x11.connection();
    xcb_cursor_context_t* context = nullptr;
    xcb_cursor_t cursor = XCB_NONE;
    if (xcb_cursor_context_new(c, x11.screen(), &context) >= 0) {
        cursor = xcb_cursor_load_cursor(context, "crosshair");
        xcb_cursor_context_free(context);
    }
    if (cursor != XCB_NONE)
        return cursor;
    xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, uint16_t(std::strlen("cursor")), "cursor");
    cursor = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, cursor, font, font, crosshairGlyph, crosshairGlyph + 1, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
    xcb_close_font(c, font);
    return cursor;
}

}

struct WindowPicker::Impl {
    // Idle → Grabbing (retrying) → Grabbed → Releasing (press seen, swallowing its release) → Idle.
    enum class Phase { Idle, Grabbing, Grabbed, Releasing };

    // A connection of our own: while grabbed, the button events come to it and nowhere else.
    xcb::X11Connection connection;
    QObject context;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer retryTimer;
    QTimer releaseTimer;
    QElapsedTimer retryClock;
    xcb_cursor_t crosshair = XCB_NONE;

    Phase phase = Phase::Idle;
    core::WatchId token = 0;
    core::WatchId nextToken = 1;
    std::function<void(core::Point)> onClick;
    std::function<void()> onFailed;

    Impl();
    ~Impl();
    void tryGrab();
    void ungrab();
    void fail();
    void readEvents();
    void handle(const xcb_generic_event_t& event);
    void drainLater();
};

WindowPicker::Impl::Impl()
{
    retryTimer.setSingleShot(true);
    retryTimer.callOnTimeout(&context, [this] { tryGrab(); });
    releaseTimer.setSingleShot(true);
    releaseTimer.callOnTimeout(&context, [this] {
        if (phase == Phase::Releasing)
            ungrab();
    });
    if (!connection.isValid())
        return;
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection.connection()), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &context, [this] { readEvents(); });
}

WindowPicker::Impl::~Impl()
{
    if (!connection.isValid())
        return;
    if (phase == Phase::Grabbed || phase == Phase::Releasing)
        xcb_ungrab_pointer(connection.connection(), XCB_CURRENT_TIME);
    if (crosshair != XCB_NONE)
        xcb_free_cursor(connection.connection(), crosshair);
    connection.flush();
}

// GrabPointer on the root, owner_events false: every button press goes to us alone, whichever
// window is under the pointer, and the cursor is the grab's for as long as it lasts.
void WindowPicker::Impl::tryGrab()
{
    assert(phase == Phase::Grabbing);
    auto* c = connection.connection();
    if (!c || xcb_connection_has_error(c))
        return fail();
    if (crosshair == XCB_NONE)
        crosshair = createCrosshair(connection);
    auto cookie = xcb_grab_pointer(c, 0, connection.root(), XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, crosshair, XCB_CURRENT_TIME);
    auto reply = xcb::takeReply(c, cookie, &xcb_grab_pointer_reply);
    drainLater();
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
        phase = Phase::Grabbed;
        return;
    }
    if (retryClock.elapsed() < retryForMs)
        return retryTimer.start(retryIntervalMs);
    fail();
}

void WindowPicker::Impl::ungrab()
{
    releaseTimer.stop();
    phase = Phase::Idle;
    if (connection.isValid()) {
        xcb_ungrab_pointer(connection.connection(), XCB_CURRENT_TIME);
        connection.flush();
    }
}

// The grab could not be had: the monitor is over, and its owner hears so from the event loop.
void WindowPicker::Impl::fail()
{
    phase = Phase::Idle;
    retryTimer.stop();
    onClick = nullptr;
    if (auto failed = std::exchange(onFailed, nullptr))
        QTimer::singleShot(0, &context, std::move(failed));
}

void WindowPicker::Impl::readEvents()
{
    auto* c = connection.connection();
    while (auto* event = xcb_poll_for_event(c)) {
        handle(*event);
        free(event);
    }
    if (xcb_connection_has_error(c)) {
        notifier->setEnabled(false);
        if (phase == Phase::Grabbing || phase == Phase::Grabbed)
            fail();
    }
}

// Replies read while waiting may have pulled events off the socket, where the notifier no longer sees them.
void WindowPicker::Impl::drainLater()
{
    QTimer::singleShot(0, &context, [this] {
        if (notifier && notifier->isEnabled())
            readEvents();
    });
}

void WindowPicker::Impl::handle(const xcb_generic_event_t& event)
{
    auto type = event.response_type & 0x7F;
    if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE)
        return;
    const auto& press = reinterpret_cast<const xcb_button_press_event_t&>(event);
    if (press.detail != leftButton)
        return; // other buttons are swallowed by the grab and leave the selection pending
    if (type == XCB_BUTTON_PRESS && phase == Phase::Grabbed) {
        phase = Phase::Releasing;
        releaseTimer.start(releaseWaitMs);
        onFailed = nullptr;
        // The press's own position: by the time it is handled the pointer may be elsewhere.
        if (auto clicked = std::exchange(onClick, nullptr))
            clicked(xcb::toPoints(core::Point { double(press.root_x), double(press.root_y) }));
        return;
    }
    if (type == XCB_BUTTON_RELEASE && phase == Phase::Releasing)
        ungrab();
}

WindowPicker::WindowPicker(xcb::X11Connection&)
    : m_impl(std::make_unique<Impl>())
{
}

WindowPicker::~WindowPicker() = default;

// One pending monitor at a time: a new one takes over the grab (or the wait for it) of the last.
core::WatchId WindowPicker::addClickMonitor(std::function<void(core::Point)> onClick, std::function<void()> onFailed)
{
    auto& d = *m_impl;
    d.token = d.nextToken++;
    d.onClick = std::move(onClick);
    d.onFailed = std::move(onFailed);
    d.phase = Impl::Phase::Grabbing;
    d.retryTimer.stop();
    d.releaseTimer.stop();
    d.retryClock.start();
    d.tryGrab();
    return d.token;
}

// Ends the monitor. A press already taken keeps the grab until its release, so the clicked
// application sees no half of the click.
bool WindowPicker::remove(core::WatchId token)
{
    auto& d = *m_impl;
    if (token == 0 || token != d.token)
        return false;
    d.token = 0;
    d.onClick = nullptr;
    d.onFailed = nullptr;
    d.retryTimer.stop();
    if (d.phase == Impl::Phase::Grabbing)
        d.phase = Impl::Phase::Idle;
    else if (d.phase == Impl::Phase::Grabbed)
        d.ungrab();
    return true;
}

// The grab carries the crosshair, shown exactly while a selection waits for its click: there is
// no cursor stack to keep on X11.

}
