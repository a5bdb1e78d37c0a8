// Ids of every top-level window Tavelin has made (overlay, flash, input windows, tray menu), so window
// lists, picking and captures can leave them out.
#pragma once

#include <cstdint>

namespace tavelin::shared {

void registerOwnTopLevel(uint32_t windowId);
void unregisterOwnTopLevel(uint32_t windowId);
bool isOwnTopLevel(uint32_t windowId);

}
