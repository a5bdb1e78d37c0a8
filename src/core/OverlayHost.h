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

    void show();
    void hide();
    void setClickThrough(bool clickThrough);
    // Moves the window; the change handler hears of it.
    void place(const Rect& frame);
    std::optional<Rect> frame() const;
    // Shown again after a pick or a screen capture, unless the grid was hidden meanwhile; in adjust
    // mode it takes the mouse again.
    void restoreAfterPick();
    // While the followed window is not shown (another workspace) the window stays off the screen:
    // show and restoreAfterPick wait until it is back.
    void setSteppedAside(bool aside);

    // Told after the overlay moved (scripts follow the grid's frame).
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }
    void changed();

private:
    Platform& m_platform;
    GridState& m_state;
    std::unique_ptr<TavelinView> m_view;
    std::unique_ptr<OverlayWindow> m_window;
    std::function<void()> m_changed;
    bool m_steppedAside = false;
};

}
