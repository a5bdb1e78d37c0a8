// The one settings object: every value that decides what the overlay draws and how Tavelin behaves.
#pragma once

#include "core/Color.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin::core {

enum class GridColor { white, blue, green, cyan, yellow, red, orange, pink };

// All eight colours in menu order.
inline constexpr std::array<GridColor, 8> allGridColors {
    GridColor::white, GridColor::blue, GridColor::green, GridColor::cyan,
    GridColor::yellow, GridColor::red, GridColor::orange, GridColor::pink,
};

// "White", "Blue", …: what the user sees, and what a colour menu item carries.
std::string_view rawValue(GridColor);
// Exact, case-sensitive match against the eight raw values; anything else is no colour.
std::optional<GridColor> gridColorFromRawValue(std::string_view);
Color displayColor(GridColor);

// What the overlay covers: the primary screen, or one window (by its X window id).
class TargetMode {
public:
    static TargetMode fullScreen() { return TargetMode {}; }
    static TargetMode window(uint32_t windowId) { return TargetMode {windowId}; }

    bool isFullScreen() const { return !m_window.has_value(); }
    bool isWindow() const { return m_window.has_value(); }
    // The window id of a window target; none for the full screen.
    std::optional<uint32_t> windowId() const { return m_window; }

private:
    TargetMode() = default;
    explicit TargetMode(uint32_t windowId) : m_window(windowId) { }
    std::optional<uint32_t> m_window;
};

class GridState {
public:
    using Subscriber = std::function<void()>;
    using SubscriptionId = uint64_t;

    GridState() = default;
    GridState(const GridState&) = delete;
    GridState& operator=(const GridState&) = delete;

    // Subscribers hear of every write before the value is stored, also when the value does
    // not change; they must not read the new value inside the call.
    SubscriptionId subscribe(Subscriber);
    void unsubscribe(SubscriptionId);

    double cellWidth() const { return m_cellWidth; }
    double cellHeight() const { return m_cellHeight; }
    bool isVisible() const { return m_isVisible; }
    bool isAdjusting() const { return m_isAdjusting; }
    bool isSelectingWindow() const { return m_isSelectingWindow; }
    TargetMode targetMode() const { return m_targetMode; }
    bool showCellLabels() const { return m_showCellLabels; }
    GridColor gridColor() const { return m_gridColor; }

    void setCellWidth(double value) { write(m_cellWidth, value); }
    void setCellHeight(double value) { write(m_cellHeight, value); }
    void setIsVisible(bool value) { write(m_isVisible, value); }
    void setIsAdjusting(bool value) { write(m_isAdjusting, value); }
    void setIsSelectingWindow(bool value) { write(m_isSelectingWindow, value); }
    void setTargetMode(TargetMode value) { write(m_targetMode, value); }
    void setShowCellLabels(bool value) { write(m_showCellLabels, value); }
    void setGridColor(GridColor value) { write(m_gridColor, value); }

    static constexpr double minCellSize = 20;
    static constexpr double maxCellSize = 400;

private:
    template<typename T>
    void write(T& field, T value)
    {
        objectWillChange();
        field = std::move(value);
    }
    void objectWillChange();

    double m_cellWidth = 80;
    double m_cellHeight = 80;
    bool m_isVisible = true;
    bool m_isAdjusting = false;
    bool m_isSelectingWindow = false;
    TargetMode m_targetMode = TargetMode::fullScreen();
    bool m_showCellLabels = false;
    GridColor m_gridColor = GridColor::white;

    struct Subscription {
        SubscriptionId id;
        Subscriber callback;
    };
    std::vector<Subscription> m_subscribers;
    SubscriptionId m_nextId = 1;
};

}
