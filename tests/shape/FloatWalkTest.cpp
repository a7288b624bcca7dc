// Fast-forwarding the line walk's float coordinate: bit-for-bit agreement
// with taking every step, across binades, through zero, at rounding ties,
// where double rounding decides, and stalled on a binade's edge.
#include "shape/FloatWalk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace shape = zentrel::detail::shape;

namespace {

std::uint32_t Bits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

// Every step taken; a step that leaves the value unchanged ends the walk,
// since all later ones would too.
void ExpectSame(float c, double step, std::uint64_t count) {
  float want = c;
  for (std::uint64_t k = 0; k < count; ++k) {
    const float next = static_cast<float>(static_cast<double>(want) + step);
    if (Bits(next) == Bits(want)) break;
    want = next;
  }
  const float got = shape::AdvanceMinor(c, step, count);
  EXPECT_EQ(Bits(got), Bits(want)) << c << " + " << step << " × " << count << ": " << got;
}

TEST(FloatWalk, MatchesEveryStepOnRandomWalks) {
  std::mt19937_64 random(24);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int trial = 0; trial < 400; ++trial) {
    const float c =
        static_cast<float>(std::ldexp(unit(random), static_cast<int>(random() % 30) - 6));
    const double step = std::ldexp(unit(random), -static_cast<int>(random() % 34));
    ExpectSame(c, step, random() % (trial < 390 ? 70000 : 1u << 24));
  }
}

TEST(FloatWalk, MatchesEveryStepThroughZeroTiesAndStalls) {
  ExpectSame(-1000.0f, 0.37, 6000);
  ExpectSame(-3.0f, 1.0 / 3.0, 1000000);
  ExpectSame(0.0f, 0.1, 1u << 26);  // grows until the step rounds away
  ExpectSame(-0.0f, -1e-7, 1u << 26);
  // Ties: 2^23 + 1 has float unit 1 and an odd last bit; the last step's
  // extra bit is lost in the double sum before the float rounding.
  const float odd = 8388609.0f;
  for (double step : {0.5, 1.5, 2.5, -0.5, -1.5, 0.75, 0.5 + std::ldexp(1.0, -40)}) {
    for (float start : {odd, odd + 1.0f, -odd}) ExpectSame(start, step, 1000);
    ExpectSame(odd, step, std::uint64_t{1} << 40);
  }
  for (int k = 1; k < 12; k += 2) ExpectSame(1000.0f, k * std::ldexp(1.0, -15), 1 << 22);
  // −2^31 + 1 rounds back to −2^31 from the binade below: never settled in
  // one binade, never moving either.
  ExpectSame(-2147483648.0f, 1.0, std::uint64_t{1} << 40);
  ExpectSame(16777216.0f, -0.25, std::uint64_t{1} << 40);
  EXPECT_EQ(Bits(shape::AdvanceMinor(-0.0f, 0.0, 3)), Bits(0.0f));  // -0 + 0 is +0
}

}  // namespace
