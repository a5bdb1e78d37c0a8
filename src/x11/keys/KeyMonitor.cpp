// Shortcut keys from the desktop-wide raw route and our own windows' route, each press delivered once.
#include "x11/keys/KeyMonitor.h"

#include "x11/keys/KeyPressLedger.h"
#include "x11/keys/LocalKeyFilter.h"
#include "x11/keys/XInputKeyWatcher.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <map>
#include <vector>

namespace tavelin::x11::keys {

namespace {

// How long a raw press waits for our own window to report it, when we seemed to hold the keyboard.
// The two reports of one press are normally milliseconds apart.
constexpr std::chrono::milliseconds ownKeyboardGrace { 250 };

// True while key events go to one of our windows: a focused window, or a popup (the tray menu)
// that has grabbed the keyboard.
bool ownWindowHasKeyboard()
{
    return QGuiApplication::focusWindow() || QApplication::activePopupWidget() || QWidget::keyboardGrabber();
}

}

struct KeyMonitor::Impl {
    std::map<core::WatchId, std::function<void(const core::KeyEvent&)>> globalHandlers;
    std::map<core::WatchId, std::function<bool(const core::KeyEvent&)>> localHandlers;
    core::WatchId nextToken = 1;

    bool watcherTried = false;
    std::unique_ptr<XInputKeyWatcher> watcher;
    std::unique_ptr<LocalKeyFilter> localFilter;
    KeyPressLedger ledger;
    struct Pending {
        KeyPress press;
        std::chrono::steady_clock::time_point queuedAt;
    };
    std::vector<Pending> pendingRaw;
    QTimer pendingTimer;

    Impl();
    XInputKeyWatcher* ensureWatcher();
    ShortcutKeys keys() const { return watcher ? watcher->keys() : ShortcutKeys::evdevDefaults(); }
    void onRawPress(const KeyPress& press);
    void deliverRaw(const KeyPress& press);
    void callGlobalHandlers(const core::KeyEvent& event);
    void flushPendingRaw();
    bool onLocalPress(uint32_t time, uint32_t keycode, uint32_t state);
};

KeyMonitor::Impl::Impl()
{
    pendingTimer.setSingleShot(true);
    QObject::connect(&pendingTimer, &QTimer::timeout, [this] { flushPendingRaw(); });
}

XInputKeyWatcher* KeyMonitor::Impl::ensureWatcher()
{
    if (!watcherTried) {
        watcherTried = true;
        watcher = XInputKeyWatcher::start([this](const KeyPress& press) { onRawPress(press); });
    }
    return watcher.get();
}

// A press while one of our windows holds the keyboard belongs to the local route, which swallows it;
// the raw one only stands by, in case the key went elsewhere after all.
void KeyMonitor::Impl::onRawPress(const KeyPress& press)
{
    if (globalHandlers.empty())
        return;
    // Our own window gets the server's repeats itself; elsewhere only ours stand for them.
    if (press.isRepeat) {
        if (!ownWindowHasKeyboard())
            callGlobalHandlers(press.event);
        return;
    }
    if (ownWindowHasKeyboard()) {
        pendingRaw.push_back({ press, std::chrono::steady_clock::now() });
        if (!pendingTimer.isActive())
            pendingTimer.start(ownKeyboardGrace);
        return;
    }
    deliverRaw(press);
}

void KeyMonitor::Impl::deliverRaw(const KeyPress& press)
{
    if (ledger.claim(press.time, press.keycode))
        callGlobalHandlers(press.event);
}

void KeyMonitor::Impl::callGlobalHandlers(const core::KeyEvent& event)
{
    // A handler may add or remove monitors: call a copy.
    auto handlers = globalHandlers;
    for (auto& [token, handler] : handlers)
        handler(event);
}

// Delivers the raw presses that have waited their grace (unless the local route took them meanwhile)
// and waits again for the rest.
void KeyMonitor::Impl::flushPendingRaw()
{
    auto now = std::chrono::steady_clock::now();
    auto due = std::stable_partition(pendingRaw.begin(), pendingRaw.end(),
        [now](const Pending& pending) { return now - pending.queuedAt < ownKeyboardGrace; });
    std::vector<Pending> ready(due, pendingRaw.end());
    pendingRaw.erase(due, pendingRaw.end());
    if (!pendingRaw.empty()) {
        auto oldest = std::min_element(pendingRaw.begin(), pendingRaw.end(),
            [](const Pending& a, const Pending& b) { return a.queuedAt < b.queuedAt; });
        pendingTimer.start(std::chrono::duration_cast<std::chrono::milliseconds>(oldest->queuedAt + ownKeyboardGrace - now));
    }
    for (auto& pending : ready)
        deliverRaw(pending.press);
}

// Called once per receiver as Qt propagates the event; only the first sighting of a press counts,
// and a press the raw route already ran is passed on untouched.
bool KeyMonitor::Impl::onLocalPress(uint32_t time, uint32_t keycode, uint32_t state)
{
    if (localHandlers.empty())
        return false;
    // Events Qt makes up itself carry no server time; they can match no raw press.
    if (time != 0 && !ledger.claim(time, keycode))
        return false;
    auto event = keys().translate(keycode, state);
    auto handlers = localHandlers;
    bool swallow = false;
    for (auto& [token, handler] : handlers)
        swallow = handler(event) || swallow;
    return swallow;
}

KeyMonitor::KeyMonitor()
    : m_impl(std::make_unique<Impl>())
{
}

KeyMonitor::~KeyMonitor() = default;

core::WatchId KeyMonitor::addGlobal(std::function<void(const core::KeyEvent&)> handler)
{
    assert(handler);
    if (!m_impl->ensureWatcher())
        return 0;
    auto token = m_impl->nextToken++;
    m_impl->globalHandlers.emplace(token, std::move(handler));
    return token;
}

core::WatchId KeyMonitor::addLocal(std::function<bool(const core::KeyEvent&)> handler)
{
    assert(handler);
    // The keymap comes with the watcher; without one the evdev keycodes stand in.
    m_impl->ensureWatcher();
    if (!m_impl->localFilter) {
        m_impl->localFilter = std::make_unique<LocalKeyFilter>(
            [impl = m_impl.get()](uint32_t time, uint32_t keycode, uint32_t state) { return impl->onLocalPress(time, keycode, state); });
    }
    auto token = m_impl->nextToken++;
    m_impl->localHandlers.emplace(token, std::move(handler));
    return token;
}

bool KeyMonitor::remove(core::WatchId token)
{
    return m_impl->globalHandlers.erase(token) + m_impl->localHandlers.erase(token) > 0;
}

}
