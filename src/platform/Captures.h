// The screen without the overlay (root image) and one window alone (Composite).
#pragma once

#include "Platform.h"
#include "X11Connection.h"

#include <memory>

namespace tavelin::qt {

class Captures {
public:
    explicit Captures(x11::X11Connection& x11);
    ~Captures();
    void targetWindowChanged(uint32_t number);
    void waitForOverlayGone(OverlayWindow& overlay, double minSeconds);
    ImageRef captureScreen(const Rect& rect);
    ImageRef captureWindow(uint32_t number, const Rect& rect);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
