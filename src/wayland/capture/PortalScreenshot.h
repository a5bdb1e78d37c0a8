// The screen's pixels through the desktop's Screenshot portal, where the compositor offers no
// screencopy (KDE Plasma's KWin).
#pragma once

#include "core/Geometry.h"

#include <QImage>

#include <string>

namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::capture {

// Returns once the compositor has handled every request we sent (the overlay's hiding among them):
// a capture another client asks for after this cannot see what we took away.
void settleWithCompositor(wl::WaylandConnection& connection);

// The rectangle of the layout (in global points) that rect covers, opaque at the portal's pixel
// size; null with failure saying why when the portal fails, is refused or gives no readable image.
// The portal's file is removed once read when it was made for this request.
QImage shootThroughPortal(wl::WaylandConnection& connection, const core::Rect& rect, std::string& failure);

// Where rect lies in an image of the whole layout: the portals shoot every output at once.
QRect portionOfLayout(const core::Rect& layout, const core::Rect& rect, QSize imageSize);

}
