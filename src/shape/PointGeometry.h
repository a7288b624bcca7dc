// Distances within point lists for the shape recognition: segment lengths and the
// greatest distance between two points of a list, computed without overflow
// for any 32-bit coordinates.
#ifndef ZENTREL_SHAPE_POINTGEOMETRY_H
#define ZENTREL_SHAPE_POINTGEOMETRY_H

#include "ZentrelPlatform.h"

namespace zentrel::detail::shape {

/// dx² + dy² in double precision from exact differences (shape-sums-64bit: no
/// 32-bit difference or square overflows). Exact (and thus equal to the
/// integer sum of squares) whenever both differences are below 2^26 in
/// magnitude.
inline double SquaredDistance(const POINT& a, const POINT& b) {
  const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
  const double dy = static_cast<double>(b.y) - static_cast<double>(a.y);
  return dx * dx + dy * dy;
}

/// The greatest SquaredDistance between two of the n points; 0 when n < 2.
/// Large lists of ordinary coordinates are measured over their convex hull,
/// with exactly the result of comparing every pair.
double GreatestSquaredDistance(const POINT* points, int n);

}  // namespace zentrel::detail::shape

#endif  // ZENTREL_SHAPE_POINTGEOMETRY_H
