// The exact divisions by multiplication that the mean filters use, checked
// for every divisor and every window sum they can meet.
#include <gtest/gtest.h>

#include <cstdint>

#include "cleanup/MeanLanes.h"
#include "cleanup/NoiseWindow.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

TEST(ExactDivider, MatchesIntegerDivisionForEveryWindowSum) {
  for (std::uint32_t d = 1; d <= 100; ++d) {
    const cleanup::ExactDivider divide(d);
    for (int s = 0; s <= 255 * 100; ++s)
      ASSERT_EQ(divide(s), s / static_cast<int>(d)) << s << "/" << d;
  }
  const cleanup::ExactDivider bySeven(7);
  EXPECT_EQ(bySeven(65535), 65535 / 7);
}

TEST(LaneDivider, MatchesIntegerDivisionForEveryWindowSum) {
  for (int n = 2; n <= 100; ++n) {
    const cleanup::LaneDivider divide(n);
    ASSERT_GT(divide.multiplier, 0) << n;
    // What the lanes compute: the high half of a 16-bit product, shifted.
    for (std::uint32_t s = 0; s <= 255u * static_cast<std::uint32_t>(n); ++s) {
      const std::uint32_t quotient = ((s * divide.multiplier) >> 16) >> divide.shift;
      ASSERT_EQ(quotient, s / static_cast<std::uint32_t>(n)) << s << "/" << n;
    }
  }
}

}  // namespace
