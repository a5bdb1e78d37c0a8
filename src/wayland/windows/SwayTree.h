// sway's window tree (the get_tree reply) read into windows: frames with their title bars, which
// workspaces are shown, and the order they stack in.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <QByteArray>

namespace tavelin::wayland::windows {

// Shown windows first, frontmost first; empty for a reply that is no tree.
std::vector<Window> parseSwayTree(const QByteArray& json);

}
