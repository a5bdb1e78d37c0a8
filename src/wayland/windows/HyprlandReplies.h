// Hyprland's IPC replies read into windows: j/clients with j/monitors (which workspaces are shown)
// and the border size, and which lines of its event socket tell of a window changing.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <QByteArray>
#include <QString>

namespace tavelin::wayland::windows {

// Shown windows first, frontmost first; border: general:border_size, drawn outside each window.
std::vector<Window> parseHyprlandClients(const QByteArray& clients, const QByteArray& monitors, int border);
// The int of a j/getoption reply; fallback when it has none.
int parseHyprlandOption(const QByteArray& reply, int fallback);
// One line of the event socket ("EVENT>>DATA"): whether it may have moved, hidden or closed a window.
bool isHyprlandWindowEvent(const QByteArray& line);
// The id Tavelin gives a window: the low 32 bits of its address ("0x…"); 0 for none.
uint32_t hyprlandWindowId(const QString& address);

}
