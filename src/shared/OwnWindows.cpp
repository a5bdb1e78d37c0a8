// The registry of our own top-level windows.
#include "shared/OwnWindows.h"

#include <unordered_map>

namespace tavelin::shared {

namespace {

// Counted, so an id the X server hands out again after one of ours was destroyed stays right.
std::unordered_map<uint32_t, int>& ownTopLevels()
{
    static std::unordered_map<uint32_t, int> ids;
    return ids;
}

}

void registerOwnTopLevel(uint32_t windowId)
{
    if (windowId)
        ++ownTopLevels()[windowId];
}

void unregisterOwnTopLevel(uint32_t windowId)
{
    auto it = ownTopLevels().find(windowId);
    if (it != ownTopLevels().end() && --it->second <= 0)
        ownTopLevels().erase(it);
}

bool isOwnTopLevel(uint32_t windowId) { return windowId && ownTopLevels().contains(windowId); }

}
