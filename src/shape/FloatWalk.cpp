// Fast-forwarding the line walk's float coordinate.
//
// While a value c of magnitude in [2^e, 2^(e+1)) and the exact sum c + step
// stay within that range, both roundings work on fixed grids: the double sum
// rounds step alone to the double grid (c lies on it), and the float rounding
// then moves c by a whole number of float units whose only dependence on c
// is the parity of its last mantissa bit (ties go to even). So inside such a
// range every second step adds the same amount. The walk measures that
// amount from real steps and jumps as far as the range provably holds.
#include "shape/FloatWalk.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace zentrel::detail::shape {
namespace {

constexpr int kMantissaBits = 24;                       // float significand, with the hidden bit
constexpr double kUnitsPerBinade = 1 << kMantissaBits;  // 2^24: the top of a range, in units
constexpr double kBinadeFloor = kUnitsPerBinade / 2;    // 2^23: its bottom

/// The range a value's magnitude lies in: [low, 2 × low), float unit unit.
struct Binade {
  double low;
  double unit;
};

Binade BinadeOf(float c) {
  int exponent = 0;
  std::frexp(static_cast<double>(c), &exponent);  // |c| = f × 2^exponent, f in [0.5, 1)
  const double low = std::ldexp(1.0, exponent - 1);
  return {low, std::ldexp(low, 1 - kMantissaBits)};
}

/// True when c lies in the binade with the given sign, and the double sum of
/// c and step lies strictly inside it too, so that the exact sum does.
bool InBinade(float c, double step, const Binade& b, bool negative) {
  if ((c < 0) != negative) return false;
  const double magnitude = std::fabs(static_cast<double>(c));
  if (magnitude < b.low || magnitude >= 2 * b.low) return false;
  const double sum = static_cast<double>(c) + step;
  if ((sum < 0) != negative) return false;
  const double sumMagnitude = std::fabs(sum);
  return sumMagnitude > b.low && sumMagnitude < 2 * b.low;
}

}  // namespace

float AdvanceMinor(float c, double step, std::uint64_t count) {
  // A zero step changes at most the sign of a zero, once.
  if (step == 0.0) return count > 0 ? StepMinor(c, step) : c;

  while (count > 0) {
    if (count < 8 || std::fabs(c) < FLT_MIN) {
      c = StepMinor(c, step);
      --count;
      continue;
    }
    // Four real steps, each checked to stay inside c's binade. After the
    // first two the parity pattern has settled; the last two measure it.
    const Binade binade = BinadeOf(c);
    const bool negative = c < 0;
    bool settled = true;
    float walk[5] = {c, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
      settled = settled && InBinade(walk[i], step, binade, negative);
      walk[i + 1] = StepMinor(walk[i], step);
    }
    c = walk[4];
    count -= 4;
    // A value that a step leaves unchanged stays for good. This also ends
    // walks stuck on the edge of a binade, which never settle inside one.
    if (std::memcmp(&walk[3], &walk[4], sizeof(float)) == 0) return c;
    if (!settled) continue;

    // Everything below in units of the binade, on magnitudes, all exact.
    const double n4 = std::fabs(static_cast<double>(walk[4])) / binade.unit;
    const double n2 = std::fabs(static_cast<double>(walk[2])) / binade.unit;
    const double perTwo = n4 - n2;
    const double growth = (negative ? -step : step) / binade.unit;
    // Steps move c toward the sign of growth or not at all; anything else
    // would not fit the reasoning above, so take no jump then.
    if (perTwo == 0.0 || (perTwo > 0) != (growth > 0)) continue;
    // The largest number of pairs after which the last sum still lies
    // inside the binade, one unit of margin to spare.
    const double room = perTwo > 0 ? (kUnitsPerBinade - 1 - growth - n4) / perTwo
                                   : (n4 + growth - kBinadeFloor - 1) / -perTwo;
    if (!(room >= 1)) continue;
    const std::uint64_t pairs = std::min(static_cast<std::uint64_t>(room), count / 2);
    const double magnitude = (n4 + static_cast<double>(pairs) * perTwo) * binade.unit;
    c = static_cast<float>(negative ? -magnitude : magnitude);
    count -= 2 * pairs;
  }
  return c;
}

}  // namespace zentrel::detail::shape
