// The greatest distance within a point list: the hull method against every
// pair on random, repeated, collinear and huge coordinates, and without
// scratch memory.
#include "shape/PointGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/AllocationFaults.h"

namespace shape = zentrel::detail::shape;

namespace {

double EveryPair(const std::vector<POINT>& p) {
  double best = 0.0;
  for (std::size_t i = 0; i < p.size(); ++i)
    for (std::size_t j = i + 1; j < p.size(); ++j) {
      const double dx = static_cast<double>(p[j].x) - p[i].x;
      const double dy = static_cast<double>(p[j].y) - p[i].y;
      best = std::max(best, dx * dx + dy * dy);
    }
  return best;
}

double Greatest(const std::vector<POINT>& p) {
  return shape::GreatestSquaredDistance(p.data(), static_cast<int>(p.size()));
}

TEST(PointGeometry, HullAgreesWithEveryPair) {
  std::mt19937 random(62);
  const int spans[] = {3, 50, 10000, 1 << 25, INT32_MAX};  // 2^25 is the hull's limit
  for (int trial = 0; trial < 1000; ++trial) {
    const int span = spans[trial % 5], n = 2 + static_cast<int>(random() % 400);
    std::uniform_int_distribution<int> coordinate(-span, span);
    std::vector<POINT> p;
    for (int i = 0; i < n; ++i) {
      const int t = coordinate(random);
      // Every fourth list lies on a line, every third repeats its first point.
      p.push_back(trial % 4 ? POINT{t, coordinate(random)} : POINT{t / 3, t / 3 * 2 % span});
    }
    if (trial % 3 == 0) std::fill(p.begin() + n / 2, p.end(), p[0]);
    EXPECT_EQ(Greatest(p), EveryPair(p)) << "trial " << trial;
    if (n >= 64 && trial % 10 == 1) {  // without scratch memory: every pair instead
      zt::FailNthAllocation fail(1);
      EXPECT_EQ(Greatest(p), EveryPair(p));
      EXPECT_TRUE(fail.Triggered());
    }
  }
}

}  // namespace
