// A top-level of ours that floats over the desktop: the common ground of the overlay and the flash.
#pragma once

#include "core/Geometry.h"

#include <QWidget>

#include <cstdint>

namespace tavelin::x11::overlay {

// Frameless, translucent (32-bit ARGB), unmanaged (override-redirect) and kept above the windows
// the window manager stacks, never focused, on every desktop, and click-through until told
// otherwise. Its X window exists from construction on, so its id is known before it is first shown.
class FloatingWidget : public QWidget {
public:
    // rank: its place among our kept windows, higher above lower.
    FloatingWidget(const QString& title, const core::Rect& frame, int rank);
    ~FloatingWidget() override;

    // Shown above every managed window.
    void showOnTop();
    // Global coordinates in points; the widget takes the rectangle's whole-pixel cover.
    void setFrame(const core::Rect& frame);
    core::Rect frame() const { return m_frame; }
    void setClickThrough(bool clickThrough);
    bool isClickThrough() const { return m_clickThrough; }
    uint32_t windowId() const { return m_windowId; }

private:
    core::Rect m_frame;
    uint32_t m_windowId = 0;
    bool m_clickThrough = true;
};

}
