// The screenshot: what lies under the grid, with the grid on it, to a PNG file and the clipboard.
#pragma once

#include "core/GridState.h"
#include "core/Lifeline.h"
#include "core/OverlayHost.h"
#include "core/Platform.h"
#include "core/ScreenChoice.h"
#include "core/WindowTargeting.h"

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavelin::core {

class Screenshot {
public:
    Screenshot(Platform& platform, const GridState& state, OverlayHost& overlay, const ScreenChoice& screens,
        const WindowTargeting& targeting)
        : m_platform(platform)
        , m_state(state)
        , m_overlay(overlay)
        , m_screens(screens)
        , m_targeting(targeting)
    {
    }
    ~Screenshot();
    Screenshot(const Screenshot&) = delete;
    Screenshot& operator=(const Screenshot&) = delete;

    struct Result {
        std::string path;
        std::string problem; // empty when the file was saved
    };
    // The menu's screenshot (Desktop file, clipboard, flash), reporting where the file went.
    Result toDesktop();
    struct Png {
        std::optional<std::vector<uint8_t>> bytes;
        std::string problem; // why there are none
    };
    // The same picture as PNG bytes alone: no file, no clipboard, no flash.
    Png png();

    // The file name for a local time: Tavelin_yyyy-MM-dd_HH.mm.ss.png.
    static std::string fileName(const std::tm& localTime);

private:
    // A composed image, or why there is none.
    struct Composed {
        ImageRef image;
        std::string failure;
    };
    struct Base {
        ImageRef image;
        bool showsGrid = false; // the grid is in it already, as the screen showed it
    };
    Base captureBase(Rect& rect, std::string& failure);
    // capture() with the overlay and the flashes off the screen meanwhile.
    ImageRef withoutOverlay(const std::function<ImageRef()>& capture);
    Composed compose();
    FileWriteResult save(const std::vector<uint8_t>& png);
    void tellFailure(const std::string& title, const std::string& body, const std::string& line);
    void flash();

    Platform& m_platform;
    const GridState& m_state;
    OverlayHost& m_overlay;
    const ScreenChoice& m_screens;
    const WindowTargeting& m_targeting;
    // Flashes still on screen: a screen capture must not catch the previous shot's flash.
    std::vector<std::shared_ptr<FlashWindow>> m_flashes;
    Lifeline m_life;
};

}
