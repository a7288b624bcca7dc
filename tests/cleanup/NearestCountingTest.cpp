// The plan found by counting, checked lane by lane against a stable sort of
// R's samples by distance: sums of the first k − j samples and the reach
// of places k − m + 1 .. k, including places before the first sample and
// past the last, ties at every distance, and partial groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "cleanup/NearestCounting.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

constexpr int kLanes = cleanup::CountingGroup::kLanes;

struct Case {
  int size;
  int aboveCount;
  int k;
  int m;
  int spread;  // samples drawn from v − spread .. v + spread (clamped)
  int length;
};

/// The plan entries of one lane from a stable sort, as the group stores them.
void ExpectLaneMatchesSort(const Case& c, const std::vector<std::vector<BYTE>>& samples,
                           const std::vector<BYTE>& own, const std::vector<std::int16_t>& sums,
                           const std::vector<std::int16_t>& reach, int lane) {
  const int v = own[lane];
  std::vector<int> order(c.size);
  for (int n = 0; n < c.size; ++n) order[n] = n;
  const auto distance = [&](int n) { return std::abs(samples[n][lane] - v); };
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return distance(a) < distance(b); });
  for (int j = 0; j <= c.m; ++j) {
    const int t = c.k - j;
    int sum = 0;
    for (int i = 0; t > 0 && t <= c.size && i < t; ++i) sum += samples[order[i]][lane];
    ASSERT_EQ(sums[j * kLanes + lane], sum)
        << "lane " << lane << " j " << j << " size " << c.size << " k " << c.k;
    if (j == c.m) continue;
    int expected = t <= 0 ? -1 : 255;
    if (t > 0 && t <= c.size) {
      const int n = order[t - 1];
      expected = distance(n) - (n < c.aboveCount ? 1 : 0);
    }
    ASSERT_EQ(reach[j * kLanes + lane], expected)
        << "lane " << lane << " j " << j << " size " << c.size << " k " << c.k;
  }
}

class NearestCountingLanes : public testing::TestWithParam<cleanup::CountingLanes> {};

TEST_P(NearestCountingLanes, PlanMatchesAStableSortByDistance) {
  const cleanup::CountingLanes lanes = GetParam();
  if (!cleanup::CountingAvailable(lanes)) GTEST_SKIP() << "the processor lacks these lanes";
  const Case cases[] = {
      {96, 45, 50, 4, 255, 64},  // 10 × 10 at k = N / 2, any values
      {96, 45, 50, 4, 3, 64},    // few values: long runs of ties
      {96, 45, 99, 4, 40, 64},   // k = N − 1: places past R's last
      {96, 45, 2, 4, 40, 37},    // k < m: places before R's first
      {96, 45, 4, 4, 0, 64},     // all samples equal to v
      {33, 10, 20, 2, 20, 64},   // 5 × 7
      {53, 28, 30, 3, 255, 5},   // 7 × 8, a short last group
      {40, 20, 12, 0, 10, 64},   // no written samples
  };
  std::mt19937 random(7);
  for (const Case& c : cases) {
    for (int round = 0; round < 20; ++round) {
      std::vector<BYTE> own(kLanes);
      std::vector<std::vector<BYTE>> samples(c.size, std::vector<BYTE>(kLanes));
      for (int l = 0; l < kLanes; ++l) {
        own[l] = static_cast<BYTE>(random() % 256);
        for (int n = 0; n < c.size; ++n) {
          const int offset = static_cast<int>(random() % (2 * c.spread + 1)) - c.spread;
          samples[n][l] = static_cast<BYTE>(std::clamp(own[l] + offset, 0, 255));
        }
      }
      // Entries past `length` must stay as they are.
      const std::int16_t untouched = 12345;
      std::vector<std::int16_t> sums((c.m + 1) * kLanes, untouched);
      std::vector<std::int16_t> reach(std::max(c.m, 1) * kLanes, untouched);
      cleanup::CountingGroup group{};
      for (int n = 0; n < c.size; ++n) group.source[n] = samples[n].data();
      group.size = c.size;
      group.aboveCount = c.aboveCount;
      group.own = own.data();
      group.k = c.k;
      group.m = c.m;
      for (int j = 0; j <= c.m; ++j) group.sums[j] = sums.data() + j * kLanes;
      for (int j = 0; j < c.m; ++j) group.reach[j] = reach.data() + j * kLanes;
      group.length = c.length;
      cleanup::PlanByCounting(group, lanes);
      for (int l = 0; l < c.length; ++l) ExpectLaneMatchesSort(c, samples, own, sums, reach, l);
      for (std::size_t i = 0; i < sums.size(); ++i) {
        const bool written = i % kLanes < std::size_t(c.length);
        if (!written) {
          ASSERT_EQ(sums[i], untouched) << i;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, NearestCountingLanes,
                         testing::Values(cleanup::CountingLanes::kAvx2,
                                         cleanup::CountingLanes::kAvx512),
                         [](const testing::TestParamInfo<cleanup::CountingLanes>& info) {
                           return info.param == cleanup::CountingLanes::kAvx2 ? "Avx2" : "Avx512";
                         });

}  // namespace
