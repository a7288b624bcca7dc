// The overlay of traced outlines and recognised shapes, as strokes in window
// coordinates: the drawing itself is left to the window's renderer.
#ifndef ZENTREL_TOOLS_VIEW_OVERLAY_H
#define ZENTREL_TOOLS_VIEW_OVERLAY_H

#include <cstdint>
#include <vector>

#include "Vectorizer.h"
#include "Viewport.h"

namespace view {

struct WindowPoint {
  float x, y;
};

/// A polyline, or with marks set small squares at its points, in one colour.
struct Stroke {
  std::uint8_t red, green, blue;
  bool marks = false;
  std::vector<WindowPoint> points;
};

/// Turns a position (pixel corners at whole numbers, so the centre of pixel
/// (x, y) is (x + 0.5, y + 0.5)) on a width × height sheet by the given
/// number of clockwise quarter turns, any integer; as Right90 and Left90 move
/// the pixels.
void TurnPosition(double& x, double& y, int width, int height, int clockwiseTurns);

/// The strokes over the sheet turned clockwiseTurns quarters and shown
/// through viewport: traced outlines cyan, significant points pink,
/// rectangles orange, circles pink (the colours of the tool's SVG).
std::vector<Stroke> OverlayStrokes(const cli::VectorizeResult& found, int clockwiseTurns,
                                   const Viewport& viewport);

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_OVERLAY_H
