// The overlay's drawing into pixels, shared by the window on screen and the screenshot's grid layer.
#pragma once

#include "core/Geometry.h"
#include "shared/paint/PaintedRegion.h"

#include <QImage>

class QPainter;

namespace tavelin::core {
class TavelinView;
}

namespace tavelin::shared::paint {

// Clears the painter's device and draws the view laid out over points: translucent, or solid
// (opaque whole-pixel strokes) for a screen without a compositing manager.
void drawOverlay(QPainter& painter, core::TavelinView& view, core::Size points, double pixelsPerPoint, bool solid);

// Which pixels of area a solid drawing painted, made opaque on the way: the window's shape.
PaintedRegion traceSolidShape(QImage& image, const QRect& area);

// The overlay at any pixel size, with a device pixel ratio of pixels per point, so the view lays
// itself out in points exactly as on screen. A solid drawing keeps only its shape's pixels, as
// the shaped window shows them. Null for a degenerate size.
QImage renderOverlayImage(core::TavelinView& view, core::Size points, int pixelWidth, int pixelHeight, bool solid);

}
