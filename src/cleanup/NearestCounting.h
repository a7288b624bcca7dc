// The plan of the nearest-values mean for a group of 64 pixels found by
// counting instead of sorting: for wide windows the places k − m .. k of
// R's sorted order come from a search over distances, one count of R's
// samples per step, which costs fewer operations than a sorting network
// over 96 keys.
#ifndef ZENTREL_CLEANUP_NEARESTCOUNTING_H
#define ZENTREL_CLEANUP_NEARESTCOUNTING_H

#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail::cleanup {

/// One group of 64 consecutive pixels of a row, as PlanByCounting reads
/// and writes it. R's samples are ordered by (distance to v, place in
/// reading order), as the stable sort by distance orders them.
struct CountingGroup {
  static constexpr int kLanes = 64;
  static constexpr int kMaxSamples = 100;
  static constexpr int kMaxWritten = 4;

  /// R's samples in reading order: source[n][l] is sample n of pixel l.
  const BYTE* source[kMaxSamples];
  int size;         // R's samples, 1 .. kMaxSamples
  int aboveCount;   // the first aboveCount of them lie above the own row
  const BYTE* own;  // the pixels' values v, 64 of them
  int k;            // 1 ≤ k
  int m;            // written samples of the window, 0 .. kMaxWritten
  /// Where the plan goes, pixel l's entry at [l]:
  /// sums[j]: the sum of R's first k − j samples (0 where k − j ≤ 0 or
  /// k − j > size), j = 0 .. m;
  /// reach[c]: for t = k − c, the distance of R's t-th sample, less one
  /// when it lies above the own row (−1 where t ≤ 0, 255 where t > size),
  /// c = 0 .. m − 1.
  std::int16_t* sums[kMaxWritten + 1];
  std::int16_t* reach[kMaxWritten];
  int length;  // the first `length` pixels' entries are written (1 .. 64)
};

/// The vector width the counting runs at: 64 byte lanes of AVX-512BW, or
/// 32 of AVX2 twice over. Both write the same plan.
enum class CountingLanes { kAvx2, kAvx512 };

/// Whether PlanByCounting can run here with these lanes: built for x86-64
/// with GCC or Clang and a processor that has them.
bool CountingAvailable(CountingLanes lanes);

/// Writes the plan of the group. Requires CountingAvailable(lanes).
void PlanByCounting(const CountingGroup& group, CountingLanes lanes);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_NEARESTCOUNTING_H
