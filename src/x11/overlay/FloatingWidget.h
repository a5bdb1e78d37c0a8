// A top-level of ours that floats over the desktop: the common ground of the overlay and the flash.
#pragma once

#include "core/Geometry.h"
#include "x11/overlay/FloatingHints.h"

#include <QWidget>

#include <cstdint>

namespace tavelin::x11::overlay {

// Frameless, translucent (32-bit ARGB), above ordinary windows, never focused, on every desktop,
// without taskbar or pager entry, and click-through until told otherwise. Its X window exists
// from construction on, so its id is known before it is first shown.
class FloatingWidget : public QWidget {
public:
    FloatingWidget(xcb::X11Connection& x11, const QString& title, const core::Rect& frame);
    ~FloatingWidget() override;

    // Shown above ordinary windows, with the hints the window manager needs before the map.
    void showOnTop();
    // Global coordinates in points; the widget takes the rectangle's whole-pixel cover.
    void setFrame(const core::Rect& frame);
    core::Rect frame() const { return m_frame; }
    void setClickThrough(bool clickThrough);
    bool isClickThrough() const { return m_clickThrough; }
    uint32_t windowId() const { return m_windowId; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    overlay::FloatingAtoms m_atoms;
    core::Rect m_frame;
    uint32_t m_windowId = 0;
    bool m_clickThrough = true;
    bool m_inputShapeOwed = false; // to the window manager, after the next map
};

}
