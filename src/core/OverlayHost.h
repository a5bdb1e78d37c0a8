// The grid's overlay window and the view it hosts; every call is safe while there is none.
#pragma once

#include "core/GridState.h"
#include "core/Platform.h"
#include "core/TavelinView.h"

#include <functional>
#include <memory>
#include <optional>

namespace tavelin::core {

class OverlayHost {
public:
    OverlayHost(Platform& platform, GridState& state)
        : m_platform(platform)
        , m_state(state)
    {
    }
    ~OverlayHost();
    OverlayHost(const OverlayHost&) = delete;
    OverlayHost& operator=(const OverlayHost&) = delete;

    // Creates the window over frame, click-through, and shows it.
    void create(const Rect& frame);
    bool exists() const { return m_window != nullptr; }
    OverlayWindow* window() { return m_window.get(); }
    TavelinView* view() { return m_view.get(); }

    // Shows the window, unless the window it lies over is not on screen.
    void show();
    void hide();
    // Whether what the grid lies over is on screen (the full screen always is): the grid must not
    // stand where a minimized window, or one on another desktop, was. Not shown hides the window
    // and keeps show() from showing it until the target is shown again.
    void setTargetShown(bool shown);
    bool isTargetShown() const { return m_targetShown; }
    void setClickThrough(bool clickThrough);
    // Moves the window; the change handler hears of it.
    void place(const Rect& frame);
    std::optional<Rect> frame() const;
    // Shown again after a pick or a screen capture, unless the grid was hidden meanwhile; in adjust
    // mode it takes the mouse again.
    void restoreAfterPick();

    // Told after the overlay moved (scripts follow the grid's frame).
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }
    void changed();

private:
    Platform& m_platform;
    GridState& m_state;
    std::unique_ptr<TavelinView> m_view;
    std::unique_ptr<OverlayWindow> m_window;
    std::function<void()> m_changed;
    bool m_targetShown = true;
};

}
