// Which screen the full-screen grid covers: one chosen by name while it exists, else the primary.
#pragma once

#include "core/Platform.h"

#include <optional>
#include <string>

namespace tavelin::core {

class ScreenChoice {
public:
    explicit ScreenChoice(const Platform& platform)
        : m_platform(platform)
    {
    }

    std::optional<Rect> frame() const;
    // Empty when the backend names no screens.
    std::string name() const;
    void choose(std::string name) { m_name = std::move(name); }
    // After screens changed: a chosen screen that is gone gives the grid back to the primary one.
    void forgetIfGone();

private:
    std::optional<ScreenInfo> current() const;

    const Platform& m_platform;
    std::string m_name; // empty: the primary screen
};

}
