// The running minor coordinate of the line walk: a float to which a double
// step is added, each sum rounded back to float, and a way to take a very
// large number of such steps at once with exactly the same result.
#ifndef ZENTREL_SHAPE_FLOATWALK_H
#define ZENTREL_SHAPE_FLOATWALK_H

#include <cstdint>

namespace zentrel::detail::shape {

/// One step: c + step in double precision, rounded to float.
inline float StepMinor(float c, double step) {
  return static_cast<float>(static_cast<double>(c) + step);
}

/// StepMinor applied count times, bit for bit, in time that grows with the
/// number of powers of two the value crosses rather than with count. step
/// must be finite.
float AdvanceMinor(float c, double step, std::uint64_t count);

}  // namespace zentrel::detail::shape

#endif  // ZENTREL_SHAPE_FLOATWALK_H
