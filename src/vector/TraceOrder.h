// The order in which both contour tracers try the eight neighbours of a
// position, and the interior test they share.
#ifndef ZENTREL_VECTOR_TRACEORDER_H
#define ZENTREL_VECTOR_TRACEORDER_H

#include <cstdint>

namespace zentrel::detail::tracing {

struct Step {
  int dx;
  int dy;
};

/// Below, below left, above, above right, right, below right, left, above
/// left; y grows downward.
constexpr Step kTraceOrder[8] = {{0, 1}, {-1, 1}, {0, -1}, {1, -1},
                                 {1, 0}, {1, 1},  {-1, 0}, {-1, -1}};

/// True when (x, y) lies inside the grid and off its outermost ring. Worked
/// in 64 bits so that no width or height overflows.
inline bool IsInterior(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
  return x >= 1 && y >= 1 && x < width - 1 && y < height - 1;
}

}  // namespace zentrel::detail::tracing

#endif  // ZENTREL_VECTOR_TRACEORDER_H
