// Whether a compositing manager draws the screen, now and whenever one starts or stops.
#pragma once

#include "x11/xcb/X11Connection.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace tavelin::x11::overlay {

// EWMH "Compositing Managers": a compositing manager owns the selection _NET_WM_CM_S<screen> for
// as long as it runs. The owner is read at construction and followed with XFixes selection
// notify on a connection of our own, read from the event loop; without XFixes the first answer
// stays. Translucent windows need one: without it their transparent pixels show black.
class CompositorWatch final : public QObject {
    Q_OBJECT
public:
    CompositorWatch();
    ~CompositorWatch() override;

    bool isCompositing() const { return m_compositing; }

signals:
    // Sent only when the answer changes.
    void compositingChanged(bool compositing);

private:
    bool subscribe();
    bool readOwner();
    void readEvents();
    void update(bool compositing);

    xcb::X11Connection m_x11;
    xcb_atom_t m_selection = XCB_NONE;
    uint8_t m_xfixesEventBase = 0;
    bool m_compositing = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}
