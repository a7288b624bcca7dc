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
  return static_cast<double>(a.x - o.x) * (b.y - o.y) -
         static_cast<double>(a.y - o.y) * (b.x - o.x);
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
    const double ex = b.x - a.x, ey = b.y - a.y, len = Length(ex, ey);
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

RotatedRect SettleSides(const std::vector<POINT>& outline, const RotatedRect& rect) {
  const double ux = std::cos(rect.angle), uy = std::sin(rect.angle);
  const double halfL = rect.length / 2, halfW = rect.width / 2;
  // How far inside each side (+u, -u, +v, -v) its nearest points lie.
  std::vector<double> inset[4];
  for (const POINT& p : outline) {
    const double dx = p.x - rect.cx, dy = p.y - rect.cy;
    const double u = dx * ux + dy * uy, v = -dx * uy + dy * ux;
    const double d[4] = {halfL - u, halfL + u, halfW - v, halfW + v};
    const int side = static_cast<int>(std::min_element(d, d + 4) - d);
    inset[side].push_back(d[side]);
  }
  double median[4] = {0, 0, 0, 0};
  for (int s = 0; s < 4; ++s) {
    std::vector<double>& v = inset[s];
    if (v.empty()) continue;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    median[s] = v[v.size() / 2];
  }
  const double uHigh = halfL - median[0], uLow = -halfL + median[1];
  const double vHigh = halfW - median[2], vLow = -halfW + median[3];
  RotatedRect settled = rect;
  const double mu = (uHigh + uLow) / 2, mv = (vHigh + vLow) / 2;
  settled.cx = rect.cx + mu * ux - mv * uy;
  settled.cy = rect.cy + mu * uy + mv * ux;
  settled.length = std::max(0.0, uHigh - uLow);
  settled.width = std::max(0.0, vHigh - vLow);
  if (settled.width > settled.length) {
    std::swap(settled.length, settled.width);
    settled.angle = std::fmod(settled.angle + kPi / 2, kPi);
  }
  return settled;
}

namespace {

// The distance of a point from the rectangle's outline, inside or outside.
double DistanceFromOutline(const POINT& p, const RotatedRect& rect, double ux, double uy) {
  const double dx = p.x - rect.cx, dy = p.y - rect.cy;
  const double u = std::abs(dx * ux + dy * uy) - rect.length / 2;
  const double v = std::abs(-dx * uy + dy * ux) - rect.width / 2;
  return u <= 0 && v <= 0 ? -std::max(u, v) : Length(std::max(u, 0.0), std::max(v, 0.0));
}

}  // namespace

double ShareOffRectangle(const std::vector<POINT>& outline, const RotatedRect& rect,
                         double tolerance) {
  if (outline.empty()) return 0;
  const double ux = std::cos(rect.angle), uy = std::sin(rect.angle);
  std::size_t off = 0;
  for (const POINT& p : outline) off += DistanceFromOutline(p, rect, ux, uy) > tolerance ? 1 : 0;
  return static_cast<double>(off) / static_cast<double>(outline.size());
}

double MeanOffRectangle(const std::vector<POINT>& outline, const RotatedRect& rect) {
  if (outline.empty()) return 0;
  const double ux = std::cos(rect.angle), uy = std::sin(rect.angle);
  double sum = 0;
  for (const POINT& p : outline) sum += DistanceFromOutline(p, rect, ux, uy);
  return sum / static_cast<double>(outline.size());
}

double MeanOffCircle(const std::vector<POINT>& outline, double cx, double cy, double radius) {
  if (outline.empty()) return 0;
  double sum = 0;
  for (const POINT& p : outline) sum += std::abs(Length(p.x - cx, p.y - cy) - radius);
  return sum / static_cast<double>(outline.size());
}

double FarthestCornerGap(const std::vector<POINT>& outline, const RotatedRect& rect) {
  const double ux = std::cos(rect.angle), uy = std::sin(rect.angle);
  const double halfL = rect.length / 2, halfW = rect.width / 2;
  double worst = 0;
  for (int corner = 0; corner < 4; ++corner) {
    const double u = corner & 1 ? halfL : -halfL, v = corner & 2 ? halfW : -halfW;
    const double x = rect.cx + u * ux - v * uy, y = rect.cy + u * uy + v * ux;
    double nearest = 1e300;
    for (const POINT& p : outline) nearest = std::min(nearest, Length(p.x - x, p.y - y));
    worst = std::max(worst, nearest);
  }
  return worst;
}

double ShareOffCircle(const std::vector<POINT>& outline, double cx, double cy, double radius,
                      double tolerance) {
  if (outline.empty()) return 0;
  std::size_t off = 0;
  for (const POINT& p : outline)
    off += std::abs(Length(p.x - cx, p.y - cy) - radius) > tolerance ? 1 : 0;
  return static_cast<double>(off) / static_cast<double>(outline.size());
}

}  // namespace cli
