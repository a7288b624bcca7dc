// Shape recognition on point lists: the rectangle test (outline length over
// greatest extent), the circle test (spread of the distances from the mean
// point) and the combined decision.
#include <cmath>
#include <cstdint>
#include <limits>

#include "ImageDataModel.h"
#include "shape/PointGeometry.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr double kRectangleTolerance = 0.15;
constexpr double kRectangleSizeFactor = 0.25;
constexpr double kDegenerateRadius = 0.00001;
constexpr double kCircleToleranceFloor = 0.15;

/// Truncates toward zero into an int, saturating where the value would not
/// fit (outlines of huge coordinates), so that no conversion overflows
/// (shape-sums-64bit).
int TruncateToInt(double value) {
  constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<int>::min());
  if (value >= kMax) return std::numeric_limits<int>::max();
  if (value <= kMin) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

/// shape-sums-64bit: the sums of the x and of the y coordinates, exact in 64
/// bits for any list of up to 2^31 points; 32-bit sums overflow for extreme
/// coordinates.
void CoordinateSums(int n, const POINT* points, std::int64_t& sumX, std::int64_t& sumY) {
  sumX = 0;
  sumY = 0;
  for (int i = 0; i < n; ++i) {
    sumX += points[i].x;
    sumY += points[i].y;
  }
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::IsRectangle(int n, const POINT* points, int& size, POINT& centre) {
  if (n < 4 || !points) return 0;
  centre.x = 0;
  centre.y = 0;

  // The open path from the first point to the last; no closing segment.
  double length = 0.0;
  for (int i = 1; i < n; ++i) length += std::sqrt(shape::SquaredDistance(points[i - 1], points[i]));
  // The extent leaves out the last point, which usually repeats the first.
  const double extent = std::sqrt(shape::GreatestSquaredDistance(points, n - 1));

  // Points that all coincide have no extent: not a rectangle. (With a
  // length but no extent the ratio is infinite and fails as well.)
  if (extent == 0.0) return 0;
  const double expected = 4.0 / std::sqrt(2.0);
  if (!(std::fabs(length / extent - expected) < kRectangleTolerance)) return 0;

  std::int64_t sumX, sumY;
  CoordinateSums(n, points, sumX, sumY);
  centre.x = static_cast<LONG>(sumX / n);
  centre.y = static_cast<LONG>(sumY / n);
  size = TruncateToInt(length * kRectangleSizeFactor);
  return 1;
}

int CImageDataModel::IsCircle(int n, const POINT* points, int& size, POINT& centre) {
  if (n <= 5 || !points) return 0;

  std::int64_t sumX, sumY;
  CoordinateSums(n, points, sumX, sumY);
  const double cx = static_cast<double>(sumX) / n;
  const double cy = static_cast<double>(sumY) / n;

  double radiusSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double dx = points[i].x - cx, dy = points[i].y - cy;
    radiusSum += std::sqrt(dx * dx + dy * dy);
  }
  const double r = radiusSum / n;
  if (r <= kDegenerateRadius) return -1;

  const double r2 = r * r;
  double spreadSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double dx = points[i].x - cx, dy = points[i].y - cy;
    spreadSum += std::fabs(dx * dx + dy * dy - r2);
  }
  const double spread = spreadSum / (n * r2);

  // Size and centre are written whether or not the points pass.
  size = TruncateToInt(r + 0.5);
  centre.x = TruncateToInt(cx);
  centre.y = TruncateToInt(cy);

  double tolerance = m_nPrecision * 0.01;
  if (tolerance < kCircleToleranceFloor) tolerance = kCircleToleranceFloor;
  return spread <= tolerance ? 1 : 0;
}

int CImageDataModel::CircleOrRectangle(int n, const POINT* points, int& size, POINT& centre) {
  // Coinciding points (−1) count as a circle of no size.
  if (IsCircle(n, points, size, centre) != 0) return 1;
  return IsRectangle(n, points, size, centre) == 1 ? 2 : 0;
}
