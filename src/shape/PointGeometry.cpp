// The greatest distance within a point list: every pair for short lists or
// huge coordinates, otherwise the convex hull and its antipodal pairs.
#include "shape/PointGeometry.h"

#include <algorithm>
#include <cstdint>

#include "platform/Memory.h"

namespace zentrel::detail::shape {
namespace {

// Below this many points comparing every pair is as quick as building a hull.
constexpr int kHullMinimum = 64;
// With every coordinate within ±2^25 the differences stay below 2^26, so
// squared distances and cross products are exact in both 64-bit integers and
// doubles, and the hull gives bit for bit the result of the pairs.
constexpr std::int64_t kHullCoordinateLimit = std::int64_t{1} << 25;

double GreatestOfPairs(const POINT* points, int n) {
  double best = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) best = std::max(best, SquaredDistance(points[i], points[j]));
  return best;
}

bool OrdinaryCoordinates(const POINT* points, int n) {
  for (int i = 0; i < n; ++i) {
    const std::int64_t x = points[i].x, y = points[i].y;
    if (x < -kHullCoordinateLimit || x > kHullCoordinateLimit || y < -kHullCoordinateLimit ||
        y > kHullCoordinateLimit)
      return false;
  }
  return true;
}

std::int64_t Cross(const POINT& o, const POINT& a, const POINT& b) {
  return (static_cast<std::int64_t>(a.x) - o.x) * (static_cast<std::int64_t>(b.y) - o.y) -
         (static_cast<std::int64_t>(a.y) - o.y) * (static_cast<std::int64_t>(b.x) - o.x);
}

std::int64_t Squared(const POINT& a, const POINT& b) {
  const std::int64_t dx = static_cast<std::int64_t>(b.x) - a.x;
  const std::int64_t dy = static_cast<std::int64_t>(b.y) - a.y;
  return dx * dx + dy * dy;
}

/// The convex hull of the sorted points, counter-clockwise, without
/// collinear points (Andrew's monotone chain). hull has room for 2n.
int ConvexHull(const POINT* sorted, int n, POINT* hull) {
  int k = 0;
  for (int i = 0; i < n; ++i) {
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], sorted[i]) <= 0) --k;
    hull[k++] = sorted[i];
  }
  for (int i = n - 2, lower = k + 1; i >= 0; --i) {
    while (k >= lower && Cross(hull[k - 2], hull[k - 1], sorted[i]) <= 0) --k;
    hull[k++] = sorted[i];
  }
  return k - 1;  // the first point closes the chain and is not repeated
}

/// The greatest squared distance between vertices of a strictly convex
/// counter-clockwise polygon, by walking its antipodal pairs.
std::int64_t HullDiameter(const POINT* hull, int h) {
  if (h < 2) return 0;
  if (h == 2) return Squared(hull[0], hull[1]);
  std::int64_t best = 0;
  int j = 1;
  for (int i = 0; i < h; ++i) {
    const int next = (i + 1) % h;
    while (Cross(hull[i], hull[next], hull[(j + 1) % h]) > Cross(hull[i], hull[next], hull[j]))
      j = (j + 1) % h;
    best = std::max({best, Squared(hull[i], hull[j]), Squared(hull[next], hull[j])});
  }
  return best;
}

}  // namespace

double GreatestSquaredDistance(const POINT* points, int n) {
  if (n < kHullMinimum || !OrdinaryCoordinates(points, n)) return GreatestOfPairs(points, n);
  // Scratch for the sorted copy and the hull; without it, compare every pair.
  const std::size_t count = static_cast<std::size_t>(n);
  ScratchBuffer scratch = AllocateScratch(3 * count * sizeof(POINT));
  if (!scratch) return GreatestOfPairs(points, n);
  POINT* sorted = reinterpret_cast<POINT*>(scratch.get());
  POINT* hull = sorted + count;
  std::copy(points, points + n, sorted);
  std::sort(sorted, sorted + n,
            [](const POINT& a, const POINT& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  const int h = ConvexHull(sorted, n, hull);
  return static_cast<double>(HullDiameter(hull, h));
}

}  // namespace zentrel::detail::shape
