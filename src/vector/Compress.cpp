// Point-list compression: keeps the points where a five-point curvature
// measure is large enough and that lie far enough from the point kept last.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ImageDataModel.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr double kFarWeight = 1.0 / 36;  // points two places away
constexpr double kNearWeight = 2.0 / 9;  // points one place away
constexpr double kSelfWeight = 0.5;      // the point itself, subtracted
constexpr double kMinCurvature = 0.16;
constexpr double kMinSpacing = 3.0;
constexpr double kNoPointKept = 10000.0;  // spacing while nothing is kept

/// One coordinate of the curvature vector. The pair sums are formed as
/// integers (in 64 bits, so that no coordinate overflows them:
/// shape-sums-64bit), the rest in double precision.
double Curvature(std::int64_t far1, std::int64_t near1, std::int64_t self, std::int64_t near2,
                 std::int64_t far2) {
  return static_cast<double>(far1 + far2) * kFarWeight +
         static_cast<double>(near1 + near2) * kNearWeight - static_cast<double>(self) * kSelfWeight;
}

double Distance(const POINT& a, const POINT& b) {
  const double dx = static_cast<double>(static_cast<std::int64_t>(a.x) - b.x);
  const double dy = static_cast<double>(static_cast<std::int64_t>(a.y) - b.y);
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace
}  // namespace zentrel::detail

short CImageDataModel::VecCompress(POINT* points, short n, POINT* kept) {
  if (n <= 0) return n;
  // compress-null-list: nothing to read (or nowhere to write) gives 0.
  if (!points || !kept) return 0;
  if (n < 5) {
    std::copy(points, points + n, kept);
    return n;
  }
  // The two points beyond the end repeat the last point.
  points[n] = points[n - 1];
  points[n + 1] = points[n - 1];

  short count = 0;
  for (int k = 0; k < n; ++k) {
    // Neighbours before the start stand for the first point.
    const POINT& far1 = points[std::max(k - 2, 0)];
    const POINT& near1 = points[std::max(k - 1, 0)];
    const POINT& self = points[k];
    const POINT& near2 = points[k + 1];
    const POINT& far2 = points[k + 2];
    const double ax = Curvature(far1.x, near1.x, self.x, near2.x, far2.x);
    const double ay = Curvature(far1.y, near1.y, self.y, near2.y, far2.y);
    const double curvature = std::sqrt(ax * ax + ay * ay);
    const double spacing = count == 0 ? kNoPointKept : Distance(self, kept[count - 1]);
    if (curvature >= kMinCurvature && spacing >= kMinSpacing) kept[count++] = self;
  }
  return count;
}
