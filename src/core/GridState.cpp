// Grid colours and the change notification of the settings object.
#include "core/GridState.h"

#include <algorithm>
#include <cassert>

namespace tavelin::core {

namespace {
struct ColorInfo {
    GridColor color;
    std::string_view raw;
    Color display;
};
constexpr std::array<ColorInfo, 8> colorTable { {
    { GridColor::white, "White", named::white },
    { GridColor::blue, "Blue", named::blue },
    { GridColor::green, "Green", named::green },
    { GridColor::cyan, "Cyan", named::cyan },
    { GridColor::yellow, "Yellow", named::yellow },
    { GridColor::red, "Red", named::red },
    { GridColor::orange, "Orange", named::orange },
    { GridColor::pink, "Pink", named::pink },
} };

const ColorInfo& infoFor(GridColor color)
{
    auto index = static_cast<size_t>(color);
    assert(index < colorTable.size() && colorTable[index].color == color);
    return colorTable[index];
}
}

std::string_view rawValue(GridColor color) { return infoFor(color).raw; }
Color displayColor(GridColor color) { return infoFor(color).display; }

std::optional<GridColor> gridColorFromRawValue(std::string_view raw)
{
    for (auto& info : colorTable) {
        if (info.raw == raw)
            return info.color;
    }
    return std::nullopt;
}

GridState::SubscriptionId GridState::subscribe(Subscriber callback)
{
    assert(callback);
    auto id = m_nextId++;
    m_subscribers.push_back({ id, std::move(callback) });
    return id;
}

void GridState::unsubscribe(SubscriptionId id)
{
    std::erase_if(m_subscribers, [id](auto& s) { return s.id == id; });
}

void GridState::objectWillChange()
{
    // A copy, so a subscriber may unsubscribe (itself or another) while being told.
    auto subscribers = m_subscribers;
    for (auto& s : subscribers)
        s.callback();
}

}
