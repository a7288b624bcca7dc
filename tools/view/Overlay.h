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

/// What the pipeline found, ready to be drawn over any view of the sheet.
class Overlay {
 public:
  /// Keeps a reference to found, which must outlive the overlay.
  explicit Overlay(const cli::VectorizeResult& found);

  /// The strokes over the sheet turned clockwiseTurns quarters and shown
  /// through viewport, for the contours that reach into the window: traced
  /// outlines cyan, significant points pink (left out below a zoom of
  /// kMarksZoom, where they would hide the sheet), rectangles orange,
  /// circles pink (the colours of the tool's SVG).
  std::vector<Stroke> Strokes(int clockwiseTurns, const Viewport& viewport) const;

  static constexpr double kMarksZoom = 0.75;

 private:
  const cli::VectorizeResult& m_found;
  /// Per contour, the extent of all its strokes on the sheet as loaded.
  std::vector<RECT> m_bounds;
};

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_OVERLAY_H
