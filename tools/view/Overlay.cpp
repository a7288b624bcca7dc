// Turning what the pipeline found into strokes over the zoomed, turned sheet.
#include "Overlay.h"

#include <algorithm>
#include <cmath>

namespace view {
namespace {

constexpr int kCircleSegments = 72;

struct Colour {
  std::uint8_t r, g, b;
};
constexpr Colour kOutline{0x00, 0xB4, 0xD8};
constexpr Colour kPoint{0xFF, 0x00, 0x6E};
constexpr Colour kRectangle{0xFB, 0x85, 0x00};
constexpr Colour kCircle{0xFF, 0x00, 0x6E};

/// Places positions of the sheet as loaded in the window.
class Placer {
 public:
  Placer(const cli::VectorizeResult& found, int turns, const Viewport& viewport)
      : m_width(static_cast<int>(found.width)),
        m_height(static_cast<int>(found.height)),
        m_turns(turns),
        m_viewport(viewport) {}

  WindowPoint At(double x, double y) const {
    TurnPosition(x, y, m_width, m_height, m_turns);
    WindowPoint w;
    m_viewport.WindowPosition(x, y, w.x, w.y);
    return w;
  }
  WindowPoint Centre(POINT p) const { return At(p.x + 0.5, p.y + 0.5); }

 private:
  int m_width, m_height, m_turns;
  const Viewport& m_viewport;
};

Stroke Polyline(const std::vector<POINT>& points, bool close, Colour colour, const Placer& at) {
  Stroke s{colour.r, colour.g, colour.b, false, {}};
  for (const POINT& p : points) s.points.push_back(at.Centre(p));
  if (close && !s.points.empty()) s.points.push_back(s.points.front());
  return s;
}

/// The rectangle around a traced outline, a pixel and a half outside it.
Stroke Frame(const std::vector<POINT>& points, const Placer& at) {
  LONG l = points[0].x, t = points[0].y, r = l, b = t;
  for (const POINT& p : points) {
    l = std::min(l, p.x);
    t = std::min(t, p.y);
    r = std::max(r, p.x);
    b = std::max(b, p.y);
  }
  const double x0 = l - 1.5, y0 = t - 1.5, x1 = r + 2.5, y1 = b + 2.5;
  Stroke s{kRectangle.r, kRectangle.g, kRectangle.b, false, {}};
  s.points = {at.At(x0, y0), at.At(x1, y0), at.At(x1, y1), at.At(x0, y1), at.At(x0, y0)};
  return s;
}

Stroke Circle(POINT centre, int radius, const Placer& at) {
  Stroke s{kCircle.r, kCircle.g, kCircle.b, false, {}};
  for (int i = 0; i <= kCircleSegments; ++i) {
    const double a = 2 * M_PI * i / kCircleSegments;
    s.points.push_back(
        at.At(centre.x + 0.5 + radius * std::cos(a), centre.y + 0.5 + radius * std::sin(a)));
  }
  return s;
}

}  // namespace

void TurnPosition(double& x, double& y, int width, int height, int clockwiseTurns) {
  const int turns = ((clockwiseTurns % 4) + 4) % 4;
  for (int i = 0; i < turns; ++i) {
    // A clockwise quarter turn: the left edge becomes the top edge, and the
    // sheet is then height wide.
    const double turnedX = height - y;
    y = x;
    x = turnedX;
    std::swap(width, height);
  }
}

std::vector<Stroke> OverlayStrokes(const cli::VectorizeResult& found, int clockwiseTurns,
                                   const Viewport& viewport) {
  const Placer at(found, clockwiseTurns, viewport);
  std::vector<Stroke> strokes;
  for (const cli::Contour& c : found.contours) {
    if (c.points.empty()) continue;
    strokes.push_back(Polyline(c.points, c.closed, kOutline, at));
    if (c.shape == 2) strokes.push_back(Frame(c.points, at));
    if (c.shape == 1) strokes.push_back(Circle(c.centre, c.size, at));
    Stroke marks = Polyline(c.kept, false, kPoint, at);
    marks.marks = true;
    strokes.push_back(std::move(marks));
  }
  return strokes;
}

}  // namespace view
