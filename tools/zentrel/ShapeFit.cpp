// Outline area, convex hull and rotated-rectangle fit for shape checks.
#include "ShapeFit.h"

#include <algorithm>
#include <cmath>

namespace cli {

double OutlineArea(const std::vector<POINT>& outline) {
  const std::size_t n = outline.size();
  double twice = 0;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++)
    twice += static_cast<double>(outline[j].x) * outline[i].y -
             static_cast<double>(outline[i].x) * outline[j].y;
  return std::abs(twice) / 2;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

double Cross(const POINT& o, const POINT& a, const POINT& b) {
  return static_cast<double>(a.x - o.x) * (b.y - o.y) - static_cast<double>(a.y - o.y) * (b.x - o.x);
}

}  // namespace

std::vector<POINT> ConvexHull(std::vector<POINT> points) {
  // Andrew's monotone chain.
  std::sort(points.begin(), points.end(),
            [](const POINT& a, const POINT& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  points.erase(std::unique(points.begin(), points.end(),
                           [](const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }),
               points.end());
  if (points.size() < 3) return points;
  std::vector<POINT> hull(2 * points.size());
  std::size_t k = 0;
  for (const POINT& p : points) {
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return hull;
}

RotatedRect SmallestEnclosingRectangle(const std::vector<POINT>& hull) {
  RotatedRect best;
  const std::size_t n = hull.size();
  if (n == 0) return best;
  double bestArea = -1;
  for (std::size_t i = 0; i < n; ++i) {
    const POINT& a = hull[i];
    const POINT& b = hull[(i + 1) % n];
    const double ex = b.x - a.x, ey = b.y - a.y, len = std::hypot(ex, ey);
    if (len == 0) continue;
    const double ux = ex / len, uy = ey / len;  // along the edge; (-uy, ux) across it
    double minU = 1e300, maxU = -1e300, minV = 1e300, maxV = -1e300;
    for (const POINT& p : hull) {
      const double u = p.x * ux + p.y * uy, v = -p.x * uy + p.y * ux;
      minU = std::min(minU, u);
      maxU = std::max(maxU, u);
      minV = std::min(minV, v);
      maxV = std::max(maxV, v);
    }
    const double area = (maxU - minU) * (maxV - minV);
    if (bestArea >= 0 && area >= bestArea) continue;
    bestArea = area;
    const double mu = (minU + maxU) / 2, mv = (minV + maxV) / 2;
    best.cx = mu * ux - mv * uy;
    best.cy = mu * uy + mv * ux;
    double along = maxU - minU, across = maxV - minV, angle = std::atan2(uy, ux);
    if (across > along) {
      std::swap(along, across);
      angle += kPi / 2;
    }
    angle = std::fmod(angle, kPi);
    if (angle < 0) angle += kPi;
    best.length = along;
    best.width = across;
    best.angle = angle;
  }
  if (bestArea < 0) {  // every hull point coincides
    best.cx = hull[0].x;
    best.cy = hull[0].y;
  }
  return best;
}

double GreatestInsetFromSides(const std::vector<POINT>& outline, const RotatedRect& rect) {
  const double ux = std::cos(rect.angle), uy = std::sin(rect.angle);
  const double halfL = rect.length / 2, halfW = rect.width / 2;
  double worst = 0;
  for (const POINT& p : outline) {
    const double dx = p.x - rect.cx, dy = p.y - rect.cy;
    const double u = std::abs(dx * ux + dy * uy), v = std::abs(-dx * uy + dy * ux);
    worst = std::max(worst, std::min(halfL - u, halfW - v));
  }
  return worst;
}

double GreatestRadialError(const std::vector<POINT>& outline, double cx, double cy,
                           double radius) {
  double worst = 0;
  for (const POINT& p : outline) worst = std::max(worst, std::abs(std::hypot(p.x - cx, p.y - cy) - radius));
  return worst;
}

}  // namespace cli
