// Key-downs delivered to Tavelin's own windows (an open tray menu), seen before Qt dispatches them.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

namespace tavelin::x11::keys {

// A key press there may be a shortcut to swallow: an open menu holds the keyboard, so the
// desktop-wide route must leave that press to this one.
class LocalKeyFilter final : public QObject {
public:
    // time and keycode are the server's (the same press seen by the raw route has the same ones);
    // state is the X core modifier mask. Returns true to swallow the key.
    using Handler = std::function<bool(uint32_t time, uint32_t keycode, uint32_t state)>;

    // Installs itself on the application for its whole lifetime.
    explicit LocalKeyFilter(Handler handler);
    ~LocalKeyFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_handler;
};

}
