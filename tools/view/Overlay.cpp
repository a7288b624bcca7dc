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

Overlay::Overlay(const cli::VectorizeResult& found) : m_found(found) {
  for (const cli::Contour& c : found.contours) {
    RECT b{0, 0, -1, -1};
    if (!c.points.empty()) {
      b = RECT{c.points[0].x, c.points[0].y, c.points[0].x, c.points[0].y};
      for (const POINT& p : c.points) {
        b.left = std::min(b.left, p.x);
        b.top = std::min(b.top, p.y);
        b.right = std::max(b.right, p.x);
        b.bottom = std::max(b.bottom, p.y);
      }
      // The rectangle frame lies outside the outline, a circle wherever its
      // centre and radius put it.
      LONG margin = 3;
      if (c.shape == 1) {
        b.left = std::min(b.left, c.centre.x - c.size);
        b.top = std::min(b.top, c.centre.y - c.size);
        b.right = std::max(b.right, c.centre.x + c.size);
        b.bottom = std::max(b.bottom, c.centre.y + c.size);
      }
      b = RECT{b.left - margin, b.top - margin, b.right + margin, b.bottom + margin};
    }
    m_bounds.push_back(b);
  }
}

std::vector<Stroke> Overlay::Strokes(int clockwiseTurns, const Viewport& viewport) const {
  const Placer at(m_found, clockwiseTurns, viewport);
  // The window's extent on the sheet as loaded: its corners turned back.
  const int width = static_cast<int>(m_found.width), height = static_cast<int>(m_found.height);
  const bool across = ((clockwiseTurns % 2) + 2) % 2 == 1;
  double x0, y0, x1, y1;
  viewport.ImagePosition(0, 0, x0, y0);
  viewport.ImagePosition(viewport.WindowWidth(), viewport.WindowHeight(), x1, y1);
  TurnPosition(x0, y0, across ? height : width, across ? width : height, -clockwiseTurns);
  TurnPosition(x1, y1, across ? height : width, across ? width : height, -clockwiseTurns);
  const double left = std::min(x0, x1), right = std::max(x0, x1);
  const double top = std::min(y0, y1), bottom = std::max(y0, y1);

  const bool marks = viewport.Zoom() >= kMarksZoom;
  std::vector<Stroke> strokes;
  for (std::size_t i = 0; i < m_found.contours.size(); ++i) {
    const cli::Contour& c = m_found.contours[i];
    const RECT& b = m_bounds[i];
    if (c.points.empty() || b.right + 1 < left || b.left > right || b.bottom + 1 < top ||
        b.top > bottom)
      continue;
    strokes.push_back(Polyline(c.points, c.closed, kOutline, at));
    if (c.shape == 2) strokes.push_back(Frame(c.points, at));
    if (c.shape == 1) strokes.push_back(Circle(c.centre, c.size, at));
    if (marks) {
      Stroke dots = Polyline(c.kept, false, kPoint, at);
      dots.marks = true;
      strokes.push_back(std::move(dots));
    }
  }
  return strokes;
}

}  // namespace view
