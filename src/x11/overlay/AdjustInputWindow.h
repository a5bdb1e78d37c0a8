// Adjust mode's mouse input over a shaped overlay: an input-only window that takes the pointer where the overlay has no pixels.
#pragma once

#include "core/Geometry.h"

#include <QAbstractNativeEventFilter>
#include <QRect>

#include <xcb/xcb.h>

#include <functional>

namespace tavelin::x11::overlay {

// A window shaped to its pixels gets pointer events only on them: the input region is clipped
// by the bounding region. While the overlay takes the mouse, this window lies over it, draws
// nothing (class InputOnly), and hands left-button presses, drags and releases on.
// It lives on Qt's connection, stacked by the same request stream as the overlay, and its
// events are picked out of Qt's by a native event filter. Override-redirect: the window manager
// neither frames nor moves it, and it stays on screen on every desktop.
class AdjustInputWindow final : public QAbstractNativeEventFilter {
public:
    // Positions in device pixels from the window's top-left corner.
    struct Handlers {
        std::function<void(core::Point)> pressed;
        std::function<void(core::Point)> moved;
        std::function<void(core::Point)> released;
    };

    explicit AdjustInputWindow(Handlers handlers);
    ~AdjustInputWindow() override;
    AdjustInputWindow(const AdjustInputWindow&) = delete;
    AdjustInputWindow& operator=(const AdjustInputWindow&) = delete;

    // Lays it over geometry (device pixels, root coordinates) on top of every sibling, or takes
    // it away.
    void cover(const QRect& geometry);
    void uncover();
    bool isCovering() const { return m_mapped; }
    xcb_window_t windowId() const { return m_window; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void handle(const xcb_generic_event_t* event);

    Handlers m_handlers;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = XCB_NONE;
    QRect m_geometry;
    bool m_mapped = false;
};

}
