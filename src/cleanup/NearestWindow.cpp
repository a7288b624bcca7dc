// The mean of the k nearest values (noise filter type 2) for windows of up
// to 64 samples besides the written ones (with AVX2, all windows),
// other than 3 × 3, with the part that waits for the row's own results cut
// down to a short step per pixel.
//
// The window of (x, y) holds m = hw samples the pass has already written in
// its own row (columns x − hw .. x − 1). Call R(x) the rest of the window:
// the final rows above, the pixel's own row from x on (not yet written) and
// the rows below. Neither R(x) nor v, the pixel's value when it is reached,
// depends on a result of the row. The stable sort by distance orders the
// samples by the key (|s − v|, place in reading order); a written sample at
// distance e comes after R's samples nearer than e and after those at
// distance e in the rows above, and before all others of R. So the k
// nearest are R's first k − j samples and j of the written ones. Worked out
// ahead for a block of pixels, R's keys sorted by a sorting network across
// pixels: for each count c of written samples ahead of a written sample,
// the farthest distance at which it is still among the k nearest, and the
// sums of R's first k − j samples (j = 0 .. m). The serial step per pixel
// places the written samples against those distances and picks the sum.
// With AVX2 and R of at most 32 samples the network is fixed at compile
// time and keeps sixteen pixels' keys in registers (32 with AVX-512BW);
// at 5 × 5 a row kernel also weaves each group's serial steps into the
// next group's network. With AVX2 and R of more than 32 samples the plan
// comes from counting instead (NearestCounting.h).
// Elsewhere sixteen rows are filtered side by side, each two or more
// groups behind the row above, so that their serial steps run as one
// step across vector lanes.
#include "cleanup/NearestWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "cleanup/NearestCounting.h"

// Where GCC or Clang build for x86-64, the loops across pixels are also
// compiled for AVX2 and AVX-512BW and chosen at run time; in the copy the
// tests build with ZENTREL_CLEANUP_PORTABLE the portable loops are the
// default and the others run when a test names them.
#if defined(__GNUC__) && defined(__x86_64__)
#define ZENTREL_NEAREST_HAVE_AVX2 1
#define ZENTREL_NEAREST_ALWAYS_INLINE __attribute__((always_inline)) inline
#include <immintrin.h>
#else
#define ZENTREL_NEAREST_ALWAYS_INLINE inline
#endif
#if defined(__GNUC__)
#define ZENTREL_NEAREST_NOINLINE __attribute__((noinline))
#else
#define ZENTREL_NEAREST_NOINLINE
#endif

namespace zentrel::detail::cleanup {
namespace {

constexpr int kMaxWritten = 4;  // hw of a window up to 10 wide
constexpr std::ptrdiff_t kBlock = 256;
/// The most samples besides the written ones the network in memory takes.
/// Past them (up to 96, a window of 10 × 10) the plan is counted, which
/// needs AVX2; elsewhere the sliding histogram serves those windows.
constexpr int kMaxRemainderSorted = 64;
/// The most samples besides the written ones that the networks kept in
/// registers take; past it the plan is counted.
constexpr int kMaxFixedRemainder = 32;

/// What the serial step needs for a block of pixels.
struct Plan {
  /// reach[c][i]: a written sample that c written samples precede in the
  /// sorted order is among the k nearest of pixel i exactly when its
  /// distance to v is at most reach (−1: never).
  std::int16_t reach[kMaxWritten][kBlock];
  /// sums[j][i]: the sum of R's first k − j samples in the sorted order.
  std::int16_t sums[kMaxWritten + 1][kBlock];
};

/// Where PlanGroup writes a group's plan: the entry of pixel l of the
/// group at sums[j][l] and reach[c][l].
struct PlanOut {
  std::int16_t* sums[kMaxWritten + 1];
  std::int16_t* reach[kMaxWritten];

  /// The entries from `first` on of a block's plan.
  static PlanOut Into(Plan& plan, std::ptrdiff_t first) {
    PlanOut out{};
    for (int j = 0; j <= kMaxWritten; ++j) out.sums[j] = plan.sums[j] + first;
    for (int c = 0; c < kMaxWritten; ++c) out.reach[c] = plan.reach[c] + first;
    return out;
  }
};

/// The image rows of the windows of one image row, grouped as R takes them.
struct WindowRows {
  const BYTE* above[10];  // rows y − hh .. y − 1, final
  int aboveCount;
  const BYTE* own;        // row y: from the pixel on, still as it was
  const BYTE* below[10];  // rows y + 1 .. y − hh + H − 1 (clamped), not yet filtered
  int belowCount;
};

/// The serial step of the 5 × 5 row kernel (two written samples): w the
/// older, r the newest (the previous result); v the pixel's value and the
/// rest its plan. Returns the result and moves w and r on. The same step
/// as MergeWritten<2>, with the sum chosen before the one division; the
/// choices are written as `?:`, which the compiler makes conditional moves
/// here (in MergeWritten's loop it made some of them branches, which miss
/// often, so that loop keeps masks).
ZENTREL_NEAREST_ALWAYS_INLINE int NextOfTwoWritten(int v, int first, int second, int sums0,
                                                   int sums1, int sums2, const ExactDivider& divide,
                                                   int& w, int& r) {
  const int d = w < v ? v - w : w - v;
  const int withoutNewest = d <= first ? w + sums1 : sums0;
  const int withNewest = r + (d <= second ? w + sums2 : sums1);
  const int bound = first < d - 1 ? first : d - 1;
  const int reachOfNewest = bound > second ? bound : second;
  const int e = r < v ? v - r : r - v;
  const int result = divide(e <= reachOfNewest ? withNewest : withoutNewest);
  w = r;
  r = result;
  return result;
}

/// A sorting network: comparators (lower wire, upper wire) in the order
/// they run, and the wire that ends up holding each place of the sorted
/// order.
template <int kMaxWires, int kMaxPairs>
struct MergeNetwork {
  int count = 0;
  BYTE pair[kMaxPairs][2] = {};
  BYTE sorted[kMaxWires] = {};
};

/// Builds into net Batcher's odd–even merge network over `slots` wires (a
/// power of two) for `size` keys. Forward, a comparator whose upper wire
/// still holds padding does nothing, and one whose lower wire does only
/// swaps, which renaming the wires does for free. With depthFirst, each
/// merge runs right after the sorts of its two halves, so that few keys are
/// live at a time; comparators on the same wire keep their order, so the
/// sorted places are the same. When k > 0, the comparators whose results
/// the plan for k and m never reads are left out. Usable at compile time.
template <int kMaxWires, int kMaxPairs>
constexpr void BuildMergeNetwork(int size, int slots, int k, int m, bool depthFirst,
                                 MergeNetwork<kMaxWires, kMaxPairs>& net) {
  int order[kMaxPairs] = {};
  int wire[kMaxWires] = {};
  bool padding[kMaxWires] = {};
  for (int i = 0; i < slots; ++i) {
    wire[i] = i;
    padding[i] = i >= size;
  }
  net.count = 0;
  for (int p = 1; p < slots; p *= 2) {
    for (int q = p; q >= 1; q /= 2) {
      for (int j = q % p; j + q < slots; j += 2 * q) {
        for (int i = 0; i < q && i + j + q < slots; ++i) {
          const int a = i + j;
          const int b = i + j + q;
          if ((a / (2 * p)) != (b / (2 * p))) continue;
          if (padding[b]) continue;
          if (padding[a]) {
            const int w = wire[a];
            wire[a] = wire[b];
            wire[b] = w;
            padding[a] = false;
            padding[b] = true;
            continue;
          }
          net.pair[net.count][0] = static_cast<BYTE>(wire[a]);
          net.pair[net.count][1] = static_cast<BYTE>(wire[b]);
          order[net.count] = (a / (2 * p) + 1) * 2 * p * 64 + p;
          ++net.count;
        }
      }
    }
  }
  // Depth first: ordered by the end of each merge's block, then its size.
  for (int c = 1; depthFirst && c < net.count; ++c) {
    for (int d = c; d > 0 && order[d - 1] > order[d]; --d) {
      const int o = order[d];
      order[d] = order[d - 1];
      order[d - 1] = o;
      for (int e = 0; e < 2; ++e) {
        const BYTE x = net.pair[d][e];
        net.pair[d][e] = net.pair[d - 1][e];
        net.pair[d - 1][e] = x;
      }
    }
  }
  for (int i = 0; i < size; ++i) net.sorted[i] = static_cast<BYTE>(wire[i]);
  if (k <= 0) return;
  // Backward: what each wire must hold. 0 nothing, 1 one of the first
  // k − m (their sum is read), 2 its exact value.
  BYTE need[kMaxWires] = {};
  for (int i = 0; i < size; ++i) need[wire[i]] = i < k - m ? 1 : (i < k ? 2 : 0);
  bool keep[kMaxPairs] = {};
  for (int c = net.count - 1; c >= 0; --c) {
    const int a = net.pair[c][0];
    const int b = net.pair[c][1];
    if (need[a] == need[b] && need[a] < 2) continue;  // order among them unread
    need[a] = need[b] = 2;
    keep[c] = true;
  }
  int kept = 0;
  for (int c = 0; c < net.count; ++c) {
    if (!keep[c]) continue;
    net.pair[kept][0] = net.pair[c][0];
    net.pair[kept][1] = net.pair[c][1];
    ++kept;
  }
  net.count = kept;
}

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
/// The power of two of wires a network for N keys runs on.
constexpr int FixedSlots(int n) {
  return n <= 2 ? 2 : (n <= 4 ? 4 : (n <= 8 ? 8 : (n <= 16 ? 16 : 32)));
}

/// The network for N keys, pruned for k = K and m = M (K = 0: not pruned),
/// worked out at compile time so that a group's keys can stay in registers
/// through it.
template <int N>
using FixedNetwork = MergeNetwork<FixedSlots(N), FixedSlots(N) * 8>;

template <int N, int K, int M>
constexpr FixedNetwork<N> MakeFixedNetwork() {
  FixedNetwork<N> net{};
  BuildMergeNetwork(N, FixedSlots(N), K, M, true, net);
  return net;
}

template <int N, int K, int M>
struct FixedNetworkTable {
  static constexpr FixedNetwork<N> kNet = MakeFixedNetwork<N, K, M>();
};

/// One comparator on sixteen lanes held in registers.
template <int A, int B>
__attribute__((target("avx2"), always_inline)) inline void OrderInRegisters(__m256i* key) {
  const __m256i low = _mm256_min_epi16(key[A], key[B]);
  key[B] = _mm256_max_epi16(key[A], key[B]);
  key[A] = low;
}

template <int N, int K, int M, std::size_t... C>
__attribute__((target("avx2"), always_inline)) inline void RunFixedNetwork(
    __m256i* key, std::index_sequence<C...>) {
  constexpr const FixedNetwork<N>& net = FixedNetworkTable<N, K, M>::kNet;
  (OrderInRegisters<net.pair[C][0], net.pair[C][1]>(key), ...);
  static_cast<void>(key);  // no comparator left (k = N + m)
}

/// Sixteen keys of one sample place: (distance << 8 | place | below) ^
/// 0x8000. The place bits (below 256, even) carry the flip, so one xor
/// joins them to the distance, and subtracting the all-ones mask of "below"
/// sets the low bit.
__attribute__((target("avx2"), always_inline)) inline __m256i KeyOfSixteen(const BYTE* samples,
                                                                           std::int16_t placeBits,
                                                                           __m256i v) {
  const __m256i s =
      _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples)));
  const __m256i below = _mm256_cmpgt_epi16(v, s);
  const __m256i d = _mm256_abs_epi16(_mm256_sub_epi16(s, v));
  return _mm256_sub_epi16(_mm256_xor_si256(_mm256_slli_epi16(d, 8), _mm256_set1_epi16(placeBits)),
                          below);
}

/// Where a group's plan goes when the network is pruned for k: the plan's
/// rows from the group's first pixel on, and the own row's first place.
struct PlanTarget {
  std::int16_t* sums[kMaxWritten + 1];
  std::int16_t* reach[kMaxWritten];
  int ownPlace;
};

/// The plan of the sorted places T .. of sixteen pixels, the sum of the
/// first T − 1 signed distances in `total`: as PlanGroupLoops works it out
/// from the stored keys, here with the keys still in registers.
template <int N, int K, int M, int T>
__attribute__((target("avx2"), always_inline)) inline void PlanFromPlace(const __m256i* key,
                                                                         __m256i total, __m256i v,
                                                                         const PlanTarget& target,
                                                                         int lane) {
  if constexpr (T <= K && T <= N) {
    const __m256i u = _mm256_xor_si256(key[FixedNetworkTable<N, K, M>::kNet.sorted[T - 1]],
                                       _mm256_set1_epi16(-0x8000));
    const __m256i d = _mm256_srli_epi16(u, 8);
    const __m256i negative =
        _mm256_sub_epi16(_mm256_setzero_si256(), _mm256_and_si256(u, _mm256_set1_epi16(1)));
    total = _mm256_add_epi16(total, _mm256_sub_epi16(_mm256_xor_si256(d, negative), negative));
    if constexpr (T >= K - M) {
      constexpr int j = K - T;
      _mm256_storeu_si256(
          reinterpret_cast<__m256i*>(target.sums[j] + lane),
          _mm256_add_epi16(_mm256_mullo_epi16(v, _mm256_set1_epi16(static_cast<std::int16_t>(T))),
                           total));
      if constexpr (j < M) {
        // As PlanGroupLoops: one less where the place lies above the own row.
        const __m256i placeOf = _mm256_and_si256(_mm256_srli_epi16(u, 1), _mm256_set1_epi16(127));
        const __m256i above = _mm256_cmpgt_epi16(
            _mm256_set1_epi16(static_cast<std::int16_t>(target.ownPlace)), placeOf);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target.reach[j] + lane),
                            _mm256_add_epi16(d, above));
      }
    }
    PlanFromPlace<N, K, M, T + 1>(key, total, v, target, lane);
  }
}

/// The keys of sixteen pixels (one per 16-bit lane) for R's N samples,
/// sorted in registers, then stored slot by slot (keys[slot][lane]) or,
/// with the network pruned for K, turned into the plan at once.
template <int N, int K, int M, std::size_t... I>
__attribute__((target("avx2"), always_inline)) inline void SortSixteen(
    std::int16_t (*keys)[64], const PlanTarget& target, int lane, const BYTE* const* source,
    const std::int16_t* place, const BYTE* values, std::index_sequence<I...>) {
  const __m256i v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values)));
  __m256i key[N];
  ((key[I] = KeyOfSixteen(source[I] + lane, place[I], v)), ...);
  RunFixedNetwork<N, K, M>(key, std::make_index_sequence<FixedNetworkTable<N, K, M>::kNet.count>());
  if constexpr (K == 0) {
    static_cast<void>(target);
    ((_mm256_store_si256(reinterpret_cast<__m256i*>(keys[I] + lane), key[I])), ...);
  } else {
    static_cast<void>(keys);
    PlanFromPlace<N, K, M, 1>(key, _mm256_setzero_si256(), v, target, lane);
  }
}

/// Builds and sorts the keys of a group of 64 pixels whose windows lie
/// inside the image.
template <int N, int K, int M>
__attribute__((target("avx2"))) void SortGroupFixed(std::int16_t (*keys)[64],
                                                    const PlanTarget& target,
                                                    const BYTE* const* source,
                                                    const std::int16_t* place, const BYTE* values) {
  for (int lane = 0; lane < 64; lane += 16) {
    SortSixteen<N, K, M>(keys, target, lane, source, place, values + lane,
                         std::make_index_sequence<N>());
  }
}

using SortGroupFunction = void (*)(std::int16_t (*)[64], const PlanTarget&, const BYTE* const*,
                                   const std::int16_t*, const BYTE*);

/// The 5 × 5 window (23 samples in R, m = 2) pruned for each k.
template <std::size_t... K>
SortGroupFunction SortGroupFiveByFive(int k, std::index_sequence<K...>) {
  constexpr SortGroupFunction table[] = {&SortGroupFixed<23, static_cast<int>(K) + 1, 2>...};
  return k >= 1 && k <= static_cast<int>(sizeof...(K)) ? table[k - 1] : nullptr;
}

/// Runs the serial steps P .. End − 1 of the previous group.
template <int P, int End, class Steps>
__attribute__((target("avx2"), always_inline)) inline void StepsFrom(Steps& steps) {
  if constexpr (P < End) {
    steps(std::integral_constant<int, P>());
    StepsFrom<P + 1, End>(steps);
  }
}

/// Comparator C of the network, then the previous group's serial steps
/// that fall after it when sixteen are spread evenly over the network.
template <int N, int K, int M, std::size_t C, class Steps>
__attribute__((target("avx2"), always_inline)) inline void OrderThenStep(__m256i* key,
                                                                         Steps& steps) {
  constexpr const FixedNetwork<N>& net = FixedNetworkTable<N, K, M>::kNet;
  OrderInRegisters<net.pair[C][0], net.pair[C][1]>(key);
  StepsFrom<static_cast<int>(C) * 16 / net.count, (static_cast<int>(C) + 1) * 16 / net.count>(
      steps);
}

/// SortSixteen with the plan written at once and the sixteen serial steps
/// of the previous group woven into the network: the steps wait on each
/// other's results while the comparators do not, so the core runs both
/// side by side. The keys are loaded before the first step, so a step
/// that writes a pixel this group also reads (the last group of a row
/// overlaps the one before) leaves the group's keys as they were.
template <int N, int K, int M, class Steps, std::size_t... I, std::size_t... C>
__attribute__((target("avx2"), always_inline)) inline void PlanSixteenStepping(
    const PlanTarget& target, const BYTE* const* source, const std::int16_t* place,
    std::ptrdiff_t left, const BYTE* values, Steps& steps, std::index_sequence<I...>,
    std::index_sequence<C...>) {
  const __m256i v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values)));
  __m256i key[N];
  ((key[I] = KeyOfSixteen(source[I] + left, place[I], v)), ...);
  (OrderThenStep<N, K, M, C>(key, steps), ...);
  if constexpr (sizeof...(C) == 0) StepsFrom<0, 16>(steps);
  PlanFromPlace<N, K, M, 1>(key, _mm256_setzero_si256(), v, target, 0);
}

/// The rows and samples of one image row of the 5 × 5 window.
struct FiveByFiveRow {
  const BYTE* source[23];  // R's rows in reading order, each at its column offset
  std::int16_t place[23];  // as KeyOfSixteen takes them
  const BYTE* own;         // the row being filtered, as it was
  BYTE* row;               // the same row, written
  std::ptrdiff_t firstX;
  std::ptrdiff_t endX;  // at least sixteen pixels past firstX
};

/// Filters one row of the 5 × 5 window for k = K in groups of sixteen
/// pixels, planning each group while the serial steps of the one before
/// run. The last group is moved back to end with the row; of it only the
/// pixels the group before left are stepped.
template <int K>
__attribute__((target("avx2"))) void FilterRowFiveByFive(const FiveByFiveRow& job, Plan& plan,
                                                         const ExactDivider& divideByK) {
  constexpr int kN = 23;         // R's samples
  constexpr int kM = 2;          // the written ones, hw
  constexpr int kOwnPlace = 10;  // the own row's first place in reading order, hh × W
  constexpr std::size_t kCount = FixedNetworkTable<kN, K, kM>::kNet.count;
  const ExactDivider divide = divideByK;
  BYTE* const row = job.row;
  int w = row[job.firstX - kM];
  int r = row[job.firstX - kM + 1];
  const std::ptrdiff_t full = (job.endX - job.firstX) / 16;
  const std::ptrdiff_t rest = (job.endX - job.firstX) % 16;
  const std::ptrdiff_t groups = full + (rest != 0 ? 1 : 0);
  const auto startOf = [&](std::ptrdiff_t g) {
    return g < full ? job.firstX + 16 * g : job.endX - 16;
  };
  const auto targetOf = [&](std::ptrdiff_t slot) {
    PlanTarget target{};
    for (int j = 0; j <= kM; ++j) target.sums[j] = plan.sums[j] + slot;
    for (int j = 0; j < kM; ++j) target.reach[j] = plan.reach[j] + slot;
    target.ownPlace = kOwnPlace;
    return target;
  };
  // The serial step of pixel x, its plan at index i.
  const auto step = [&](std::ptrdiff_t i, std::ptrdiff_t x) {
    row[x] = static_cast<BYTE>(NextOfTwoWritten(row[x], plan.reach[0][i], plan.reach[1][i],
                                                plan.sums[0][i], plan.sums[1][i], plan.sums[2][i],
                                                divide, w, r));
  };
  // The ranks the network has no sample for (k within m of 0 or past R's
  // size), as PlanGroupLoops fills them, once for both slots.
  for (int t = K - kM; t <= K; ++t) {
    if (t > 0 && t <= kN) continue;
    std::fill(plan.sums[K - t], plan.sums[K - t] + 32, std::int16_t{0});
    if (K - t < kM)
      std::fill(plan.reach[K - t], plan.reach[K - t] + 32,
                static_cast<std::int16_t>(t <= 0 ? -1 : 255));
  }
  const auto none = [](auto) {};
  PlanSixteenStepping<kN, K, kM>(targetOf(0), job.source, job.place, startOf(0) - kM,
                                 job.own + startOf(0), none, std::make_index_sequence<kN>(),
                                 std::make_index_sequence<kCount>());
  for (std::ptrdiff_t g = 1; g < groups; ++g) {
    const std::ptrdiff_t previous = startOf(g - 1);
    const std::ptrdiff_t previousSlot = ((g - 1) & 1) * 16;
    const auto steps = [&](auto p) {
      step(previousSlot + decltype(p)::value, previous + decltype(p)::value);
    };
    const std::ptrdiff_t start = startOf(g);
    PlanSixteenStepping<kN, K, kM>(targetOf((g & 1) * 16), job.source, job.place, start - kM,
                                   job.own + start, steps, std::make_index_sequence<kN>(),
                                   std::make_index_sequence<kCount>());
  }
  const std::ptrdiff_t last = startOf(groups - 1);
  const std::ptrdiff_t lastSlot = ((groups - 1) & 1) * 16;
  for (std::ptrdiff_t p = groups > full ? 16 - rest : 0; p < 16; ++p) step(lastSlot + p, last + p);
}

using FilterRowFunction = void (*)(const FiveByFiveRow&, Plan&, const ExactDivider&);

/// FilterRowFiveByFive for each k of the 5 × 5 window.
template <std::size_t... K>
FilterRowFunction RowFiveByFive(int k, std::index_sequence<K...>) {
  constexpr FilterRowFunction table[] = {&FilterRowFiveByFive<static_cast<int>(K) + 1>...};
  return k >= 1 && k <= static_cast<int>(sizeof...(K)) ? table[k - 1] : nullptr;
}

/// The sorting function kept in registers for R of `size` samples (at most
/// 32), the 5 × 5 window's pruned for k; others sort fully.
template <std::size_t... N>
SortGroupFunction FixedSortGroup(int size, int k, int m, std::index_sequence<N...>) {
  if (size == 23 && m == 2) return SortGroupFiveByFive(k, std::make_index_sequence<25>());
  constexpr SortGroupFunction table[] = {&SortGroupFixed<static_cast<int>(N) + 2, 0, 0>...};
  return size >= 2 && size < static_cast<int>(sizeof...(N)) + 2 ? table[size - 2] : nullptr;
}

/// One comparator on 32 lanes held in registers.
template <int A, int B>
__attribute__((target("avx512bw"), always_inline)) inline void OrderInWideRegisters(__m512i* key) {
  const __m512i low = _mm512_min_epi16(key[A], key[B]);
  key[B] = _mm512_max_epi16(key[A], key[B]);
  key[A] = low;
}

template <int N, std::size_t... C>
__attribute__((target("avx512bw"), always_inline)) inline void RunFixedNetworkWide(
    __m512i* key, std::index_sequence<C...>) {
  constexpr const FixedNetwork<N>& net = FixedNetworkTable<N, 0, 0>::kNet;
  (OrderInWideRegisters<net.pair[C][0], net.pair[C][1]>(key), ...);
}

/// KeyOfSixteen for 32 pixels.
__attribute__((target("avx512bw"), always_inline)) inline __m512i KeyOfThirtyTwo(
    const BYTE* samples, std::int16_t placeBits, __m512i v) {
  const __m512i s =
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples)));
  const __m512i below = _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(v, s));
  const __m512i d = _mm512_abs_epi16(_mm512_sub_epi16(s, v));
  return _mm512_sub_epi16(_mm512_xor_si512(_mm512_slli_epi16(d, 8), _mm512_set1_epi16(placeBits)),
                          below);
}

/// SortSixteen's full sort for 32 pixels (one per 16-bit lane of an
/// AVX-512 register), the keys stored slot by slot.
template <int N, std::size_t... I>
__attribute__((target("avx512bw"), always_inline)) inline void SortThirtyTwo(
    std::int16_t (*keys)[64], int lane, const BYTE* const* source, const std::int16_t* place,
    const BYTE* values, std::index_sequence<I...>) {
  const __m512i v =
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values)));
  __m512i key[N];
  ((key[I] = KeyOfThirtyTwo(source[I] + lane, place[I], v)), ...);
  RunFixedNetworkWide<N>(key, std::make_index_sequence<FixedNetworkTable<N, 0, 0>::kNet.count>());
  ((_mm512_storeu_si512(keys[I] + lane, key[I])), ...);
}

/// SortGroupFixed's full sort with AVX-512BW, 32 pixels a step.
template <int N>
__attribute__((target("avx512bw"))) void SortGroupFixedWide(std::int16_t (*keys)[64],
                                                            const PlanTarget&,
                                                            const BYTE* const* source,
                                                            const std::int16_t* place,
                                                            const BYTE* values) {
  for (int lane = 0; lane < 64; lane += 32)
    SortThirtyTwo<N>(keys, lane, source, place, values + lane, std::make_index_sequence<N>());
}

/// The full sort in AVX-512 registers for R of `size` samples (at most 32).
template <std::size_t... N>
SortGroupFunction FixedSortGroupWide(int size, std::index_sequence<N...>) {
  constexpr SortGroupFunction table[] = {&SortGroupFixedWide<static_cast<int>(N) + 2>...};
  return size >= 2 && size < static_cast<int>(sizeof...(N)) + 2 ? table[size - 2] : nullptr;
}
#endif

/// R's samples of a group of pixels sorted by a sorting network, one pixel
/// per lane: every step runs across the lanes and vectorises. A sample's
/// key (|s − v|, place in reading order, s < v) fits 16 bits and orders as
/// the stable sort does; its low bit and the distance give s back.
/// Batcher's odd–even merge sort over the next power of two, without the
/// comparators that only meet the padding after the last sample nor those
/// whose results the plan never reads (it reads the first k − m samples as
/// a sum, the next m one by one). With AVX2, R of more than 32 samples is
/// counted instead (PlanGroupCounted).
class SortedRemainder {
 public:
  static constexpr int kLanes = 64;
  static constexpr int kMaxSlots = 64;
  using KeyRow = std::int16_t[kLanes];  // one sample place's keys of a group

  /// wide: AVX2 is there; widest: AVX-512BW too.
  SortedRemainder(const NoiseWindow& win, int k, bool wide, bool widest)
      : m_win(win), m_k(k), m_m(win.hw), m_size(win.Samples() - win.hw), m_wide(wide) {
    BuildSamples();
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    m_widest = wide && widest;
    // Past the networks kept in registers (R of more than 32 samples),
    // counting costs less than the network in memory: with AVX-512BW
    // measured 1.3 to 1.65 times faster from 5 × 7 to 10 × 10, with AVX2
    // as fast or faster (8 × 8: 306–466 against 438–578 ms); below, the
    // registers win. Past 64 samples only counting serves.
    if (wide && m_size > kMaxFixedRemainder) {
      m_countingLanes = m_widest ? CountingLanes::kAvx512 : CountingLanes::kAvx2;
      m_counted = CountingAvailable(m_countingLanes);
      if (m_counted) return;
    }
    if (wide) m_fixed = FixedSortGroup(m_size, k, m_m, std::make_index_sequence<31>());
    m_fixedPlans = m_fixed != nullptr && m_size == 23 && m_m == 2;
    // With AVX-512BW the full sorts take 32 pixels a step.
    if (m_widest && m_fixed != nullptr && !m_fixedPlans)
      m_fixed = FixedSortGroupWide(m_size, std::make_index_sequence<31>());
    if (m_fixedPlans) m_fixedRow = RowFiveByFive(k, std::make_index_sequence<25>());
#else
    static_cast<void>(widest);
#endif
    BuildNetwork();
  }

  /// Filters a whole row in place where a row kernel serves the window
  /// (5 × 5 with AVX2, rows of sixteen pixels or more); false leaves the
  /// row untouched for PlanGroup and MergeBlock.
  bool FilterRow(Plan& plan, const WindowRows& rows, BYTE* row,
                 const ExactDivider& divideByK) const {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if (m_fixedRow == nullptr || m_win.EndX() - m_win.FirstX() < 16) return false;
    FiveByFiveRow job{};
    for (int n = 0; n < m_size; ++n) {
      const int r = m_sampleRow[n];
      const BYTE* source =
          r < m_win.hh ? rows.above[r] : (r == m_win.hh ? rows.own : rows.below[r - m_win.hh - 1]);
      job.source[n] = source + m_sampleColumn[n];
      job.place[n] = m_keyPlace[n];
    }
    job.own = rows.own;
    job.row = row;
    job.firstX = m_win.FirstX();
    job.endX = m_win.EndX();
    m_fixedRow(job, plan, divideByK);
    return true;
#else
    static_cast<void>(plan);
    static_cast<void>(rows);
    static_cast<void>(row);
    static_cast<void>(divideByK);
    return false;
#endif
  }

  /// Whether the networks kept in registers write the plan themselves
  /// (5 × 5 with AVX2, whose row kernel filters whole rows).
  bool PrunedForK() const {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    return m_fixedPlans;
#else
    return false;
#endif
  }

  /// Fills the plan of the pixels x0 .. x0 + length − 1 (length ≤ kLanes)
  /// into out.
  void PlanGroup(const PlanOut& out, const WindowRows& rows, std::ptrdiff_t x0,
                 std::ptrdiff_t length) const {
    if (m_counted) {
      PlanGroupCounted(out, rows, x0, length);
      return;
    }
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if (m_widest) {
      PlanGroupWidest(out, rows, x0, length);
      return;
    }
    if (m_wide) {
      PlanGroupWide(out, rows, x0, length);
      return;
    }
#endif
    PlanGroupPortable(out, rows, x0, length);
  }

 private:
  /// Where each of R's samples lies: its row (0 .. H − 1 in the window,
  /// the own row at hh) and column offset, in reading order.
  void BuildSamples() {
    int n = 0;
    for (int r = 0; r < m_win.h; ++r) {
      for (int c = r == m_win.hh ? m_win.hw : 0; c < m_win.w; ++c, ++n) {
        m_sampleRow[n] = static_cast<BYTE>(r);
        m_sampleColumn[n] = static_cast<BYTE>(c);
        m_samplePlace[n] = static_cast<BYTE>(r * m_win.w + c);
        m_keyPlace[n] = static_cast<std::int16_t>((m_samplePlace[n] * 2) ^ 0x8000);
      }
    }
  }

  void BuildNetwork() {
    int slots = 1;
    while (slots < m_size) slots *= 2;
    BuildMergeNetwork(m_size, slots, m_k, m_m, false, m_network);
    for (int c = 0; c < m_network.count; ++c)
      for (int e = 0; e < 2; ++e)
        m_pairOffset[c][e] = static_cast<std::uint16_t>(m_network.pair[c][e] * sizeof(KeyRow));
  }

  /// The portable loops, in a frame of their own: their keys (8 KB) are
  /// then on the stack only while a group is planned, not through the
  /// whole filter.
  ZENTREL_NEAREST_NOINLINE void PlanGroupPortable(const PlanOut& out, const WindowRows& rows,
                                                  std::ptrdiff_t x0, std::ptrdiff_t length) const {
    PlanGroupLoops<false>(out, rows, x0, length);
  }

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  /// The same loops compiled for AVX2, where the networks kept in
  /// registers sort every R (at most 32 samples; larger ones are counted).
  __attribute__((target("avx2"))) void PlanGroupWide(const PlanOut& out, const WindowRows& rows,
                                                     std::ptrdiff_t x0,
                                                     std::ptrdiff_t length) const {
    PlanGroupLoops<true>(out, rows, x0, length);
  }
  /// And for AVX-512BW, where the processor has it: the full sorts in
  /// registers take 32 keys a step.
  __attribute__((target("avx512bw"))) void PlanGroupWidest(const PlanOut& out,
                                                           const WindowRows& rows,
                                                           std::ptrdiff_t x0,
                                                           std::ptrdiff_t length) const {
    PlanGroupLoops<true>(out, rows, x0, length);
  }
#endif

  /// The columns a group's windows read, kLanes + W − 1 of each window
  /// row from column x0 − hw on, and the pixels' own values.
  struct GroupColumns {
    alignas(32) BYTE strip[10][kLanes + 16];
    alignas(32) BYTE ownValues[kLanes];
    const BYTE* start[10];  // column x0 − hw of each window row
    const BYTE* own;        // column x0 of the own row
  };

  void ReadColumns(GroupColumns& columns, const WindowRows& rows, std::ptrdiff_t x0,
                   std::ptrdiff_t length) const {
    const BYTE* windowRows[10];
    for (int r = 0, a = 0, b = 0; r < m_win.h; ++r)
      windowRows[r] = r < m_win.hh ? rows.above[a++] : (r == m_win.hh ? rows.own : rows.below[b++]);
    // A group that reaches past the row's end (the last of a row, with an
    // even window or spare lanes) reads a copy of its columns in which
    // columns past the edge repeat the edge column, and takes the same
    // loops as the others. Spare lanes read whatever lies in the copy and
    // repeat the last pixel's value; their plans are never used.
    const std::ptrdiff_t left = x0 - m_win.hw;
    const bool clamped = length < kLanes || left + kLanes - 1 + m_win.w - 1 >= m_win.width;
    columns.own = rows.own + x0;
    for (int r = 0; r < m_win.h; ++r) columns.start[r] = windowRows[r] + left;
    if (!clamped) return;
    const std::ptrdiff_t last = length - 1 + m_win.w - 1;
    for (int r = 0; r < m_win.h; ++r) {
      for (std::ptrdiff_t i = 0; i < kLanes + m_win.w - 1; ++i)
        columns.strip[r][i] = windowRows[r][m_win.ClampColumn(left + std::min(i, last))];
      columns.start[r] = columns.strip[r];
    }
    for (std::ptrdiff_t l = 0; l < kLanes; ++l)
      columns.ownValues[l] = columns.own[std::min(l, length - 1)];
    columns.own = columns.ownValues;
  }

  /// The plan found by counting (NearestCounting.h) instead of sorting.
  void PlanGroupCounted(const PlanOut& out, const WindowRows& rows, std::ptrdiff_t x0,
                        std::ptrdiff_t length) const {
    GroupColumns columns;
    ReadColumns(columns, rows, x0, length);
    CountingGroup group;
    for (int n = 0; n < m_size; ++n)
      group.source[n] = columns.start[m_sampleRow[n]] + m_sampleColumn[n];
    group.size = m_size;
    group.aboveCount = m_win.hh * m_win.w;
    group.own = columns.own;
    group.k = m_k;
    group.m = m_m;
    for (int j = 0; j <= m_m; ++j) group.sums[j] = out.sums[j];
    for (int c = 0; c < m_m; ++c) group.reach[c] = out.reach[c];
    group.length = static_cast<int>(length);
    PlanByCounting(group, m_countingLanes);
  }

  template <bool Wide>
  ZENTREL_NEAREST_ALWAYS_INLINE void PlanGroupLoops(const PlanOut& out, const WindowRows& rows,
                                                    std::ptrdiff_t x0,
                                                    std::ptrdiff_t length) const {
    alignas(32) std::int16_t keys[kMaxSlots][kLanes];
    alignas(32) std::uint16_t values[kLanes];
    GroupColumns columns;
    ReadColumns(columns, rows, x0, length);
    const BYTE* const* start = columns.start;
    const BYTE* own = columns.own;
    for (int l = 0; l < kLanes; ++l) values[l] = own[l];
    bool sorted = false;
    bool planned = false;  // the sums and reaches too
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if constexpr (Wide) {
      if (m_fixed != nullptr) {
        const BYTE* source[kMaxSlots];
        for (int n = 0; n < m_size; ++n) source[n] = start[m_sampleRow[n]] + m_sampleColumn[n];
        PlanTarget target{};
        for (int j = 0; j <= m_m; ++j) target.sums[j] = out.sums[j];
        for (int j = 0; j < m_m; ++j) target.reach[j] = out.reach[j];
        target.ownPlace = m_win.hh * m_win.w;
        m_fixed(keys, target, source, m_keyPlace, own);
        sorted = true;
        planned = m_fixedPlans;
      }
    }
#endif
    if (!sorted) {
      for (int n = 0; n < m_size; ++n) {
        const BYTE* source = start[m_sampleRow[n]] + m_sampleColumn[n];
        const std::uint16_t place = static_cast<std::uint16_t>(m_samplePlace[n] * 2);
        for (int l = 0; l < kLanes; ++l) keys[n][l] = Key(source[l], values[l], place);
      }
      // The comparators' rows as byte offsets: fewer instructions a
      // comparator, which the network in memory is bound by.
      char* const rowsOfKeys = reinterpret_cast<char*>(keys);
      for (int c = 0; c < m_network.count; ++c)
        Order(reinterpret_cast<std::int16_t*>(rowsOfKeys + m_pairOffset[c][0]),
              reinterpret_cast<std::int16_t*>(rowsOfKeys + m_pairOffset[c][1]));
    }
    // Sums of the first t samples, t × v + their signed distances, for the
    // ranks t = k − m .. k the plan reads; a rank of 0 or below has sum 0
    // and no written sample before it, one past R's size every written one.
    alignas(32) std::uint16_t offsets[kLanes] = {};
    const int ownPlace = m_win.hh * m_win.w;
    const int lastRank = planned ? 0 : std::min(m_k, m_size);
    // The ranks before k − m only add to the totals: all of them at once.
    const int summed = std::min(m_k - m_m - 1, lastRank);
    AddSignedRows<Wide>(offsets, keys, m_network.sorted, summed);
    for (int t = std::max(summed, 0) + 1; t <= lastRank; ++t) {
      const std::int16_t* key = keys[m_network.sorted[t - 1]];
      AddSignedRows<Wide>(offsets, keys, m_network.sorted + t - 1, 1);
      const int j = m_k - t;
      std::int16_t* sums = out.sums[j];
      for (int l = 0; l < length; ++l)
        sums[l] = static_cast<std::int16_t>(t * values[l] + static_cast<std::int16_t>(offsets[l]));
      if (j == m_m) continue;
      // A written sample as far as the t-th sample comes before it when
      // that sample lies in the own row or below.
      std::int16_t* reach = out.reach[j];
      for (int l = 0; l < length; ++l) {
        const int u = (key[l] ^ 0x8000) & 0xFFFF;
        reach[l] = static_cast<std::int16_t>((u >> 8) - (((u >> 1) & 127) < ownPlace ? 1 : 0));
      }
    }
    for (int t = m_k - m_m; t <= m_k; ++t) {
      if (t > 0 && t <= m_size) continue;
      const int j = m_k - t;
      for (int l = 0; l < length; ++l) {
        out.sums[j][l] = 0;
        if (j < m_m) out.reach[j][l] = static_cast<std::int16_t>(t <= 0 ? -1 : 255);
      }
    }
  }

  // Keys and distances are worked in 16-bit lanes throughout, so that the
  // loops over lanes vectorise.
  static ZENTREL_NEAREST_ALWAYS_INLINE std::int16_t Key(std::uint16_t s, std::uint16_t v,
                                                        std::uint16_t place) {
    const std::uint16_t below = s < v ? 1 : 0;
    const std::uint16_t d = static_cast<std::uint16_t>(below ? v - s : s - v);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((d << 8) | place | below) ^
                                     std::uint16_t{0x8000});
  }
  /// One comparator of the network in every lane.
  static ZENTREL_NEAREST_ALWAYS_INLINE void Order(std::int16_t* __restrict a,
                                                  std::int16_t* __restrict b) {
    for (int l = 0; l < kLanes; ++l) {
      const std::int16_t low = a[l] < b[l] ? a[l] : b[l];
      b[l] = a[l] < b[l] ? b[l] : a[l];
      a[l] = low;
    }
  }
  /// Adds s − v of each lane's key to its total (in 16-bit two's
  /// complement: the totals stay within ±25500).
  static ZENTREL_NEAREST_ALWAYS_INLINE void AddSigned(std::uint16_t* __restrict totals,
                                                      const std::int16_t* __restrict keys) {
    for (int l = 0; l < kLanes; ++l) {
      const std::uint16_t u = static_cast<std::uint16_t>(keys[l] ^ std::int16_t{-0x8000});
      const std::uint16_t d = static_cast<std::uint16_t>(u >> 8);
      const std::uint16_t negative = static_cast<std::uint16_t>(0 - (u & 1));
      totals[l] = static_cast<std::uint16_t>(totals[l] + ((d ^ negative) - negative));
    }
  }

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  /// AddSigned for `count` sorted places in AVX2 steps (which the compiler
  /// does not find by itself behind the loop over places), the totals kept
  /// in registers between the places.
  __attribute__((target("avx2"))) static void AddSignedRowsWide(std::uint16_t* totals,
                                                                const std::int16_t (*keys)[kLanes],
                                                                const BYTE* wires, int count) {
    const __m256i flip = _mm256_set1_epi16(-0x8000);
    const __m256i one = _mm256_set1_epi16(1);
    __m256i total[kLanes / 16];
    for (int c = 0; c < kLanes / 16; ++c)
      total[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(totals + 16 * c));
    for (int t = 0; t < count; ++t) {
      const std::int16_t* key = keys[wires[t]];
      for (int c = 0; c < kLanes / 16; ++c) {
        const __m256i u = _mm256_xor_si256(
            _mm256_load_si256(reinterpret_cast<const __m256i*>(key + 16 * c)), flip);
        const __m256i negative = _mm256_sub_epi16(_mm256_setzero_si256(), _mm256_and_si256(u, one));
        total[c] = _mm256_add_epi16(
            total[c],
            _mm256_sub_epi16(_mm256_xor_si256(_mm256_srli_epi16(u, 8), negative), negative));
      }
    }
    for (int c = 0; c < kLanes / 16; ++c)
      _mm256_store_si256(reinterpret_cast<__m256i*>(totals + 16 * c), total[c]);
  }
#endif

  /// AddSigned for the sorted places wires[0 .. count − 1].
  template <bool Wide>
  static ZENTREL_NEAREST_ALWAYS_INLINE void AddSignedRows(std::uint16_t* totals,
                                                          const std::int16_t (*keys)[kLanes],
                                                          const BYTE* wires, int count) {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if constexpr (Wide) {
      AddSignedRowsWide(totals, keys, wires, count);
      return;
    }
#endif
    for (int t = 0; t < count; ++t) AddSigned(totals, keys[wires[t]]);
  }

  static constexpr int kMaxPairs = 543;  // Batcher's network of 64

  const NoiseWindow& m_win;
  int m_k;
  int m_m;
  int m_size;
  bool m_wide;
  bool m_counted = false;  // the plan by counting rather than by the network
  CountingLanes m_countingLanes = CountingLanes::kAvx2;
  BYTE m_sampleRow[100];
  BYTE m_sampleColumn[100];
  BYTE m_samplePlace[100];
  std::int16_t m_keyPlace[100];  // the place as KeyOfSixteen takes it
  MergeNetwork<kMaxSlots, kMaxPairs> m_network;
  std::uint16_t m_pairOffset[kMaxPairs][2];  // the comparators' rows of keys, in bytes
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  bool m_widest = false;                   // AVX-512BW is there too
  SortGroupFunction m_fixed = nullptr;     // the network in registers, where there is one
  bool m_fixedPlans = false;               // m_fixed pruned for k, writing the plan itself
  FilterRowFunction m_fixedRow = nullptr;  // the 5 × 5 row kernel for k
#endif
};

/// values[index] for index 0 .. M, by selects rather than an indexed load
/// from the stack: the index depends on the result two pixels back, and a
/// load's latency would lengthen the chain between results.
template <int M>
ZENTREL_NEAREST_ALWAYS_INLINE int Pick(const int* values, int index) {
  int picked = values[0];
  for (int j = 1; j <= M; ++j) picked = index >= j ? values[j] : picked;
  return picked;
}

/// The serial step with M written samples. Only the newest of them, r (the
/// previous result), waits on the chain: with O the N = M − 1 older ones,
/// r is among the k nearest exactly when its distance e is at most T, and
/// the mean is then (r + the first k − 1 of R and O) / k, else (the first k
/// of R and O) / k. A sample of O with c samples of O ahead of it (nearer,
/// or as near and to its left) is among the first k when its distance is
/// at most reach[c], among the first k − 1 when at most reach[c + 1]; with
/// j of O taken, R gives sums[j] or sums[j + 1]. T, the greatest e with
/// e ≤ reach[number of O at or below e], is the largest of reach[N] and
/// min(reach[c], δ(c + 1) − 1), δ(c) the c-th smallest distance of O.
template <int M, class Divider>
ZENTREL_NEAREST_ALWAYS_INLINE int StepWithWritten(int v, const int* reach, const int* sums,
                                                  const int* written, const Divider& divideByK) {
  constexpr int N = M - 1;
  int distance[M];
  int ahead[M] = {};
  for (int a = 0; a < N; ++a) distance[a] = written[a] < v ? v - written[a] : written[a] - v;
  for (int a = 0; a < N; ++a) {
    for (int b = a + 1; b < N; ++b) {
      const int bFirst = distance[b] < distance[a] ? 1 : 0;
      ahead[a] += bFirst;
      ahead[b] += 1 - bFirst;
    }
  }
  int takenFirstK = 0;
  int takenFirstKLess1 = 0;
  int sumFirstK = 0;
  int sumFirstKLess1 = 0;
  int reachOfNewest = reach[N];
  for (int a = 0; a < N; ++a) {
    const int reachHere = Pick<M>(reach, ahead[a]);
    const int reachNext = Pick<M>(reach, ahead[a] + 1);
    const int inFirstK = distance[a] <= reachHere ? 1 : 0;
    const int inFirstKLess1 = distance[a] <= reachNext ? 1 : 0;
    takenFirstK += inFirstK;
    takenFirstKLess1 += inFirstKLess1;
    sumFirstK += written[a] & -inFirstK;
    sumFirstKLess1 += written[a] & -inFirstKLess1;
    // O's sample of rank ahead[a] bounds T for the rank before it.
    const int bound = reachHere < distance[a] - 1 ? reachHere : distance[a] - 1;
    reachOfNewest = bound > reachOfNewest ? bound : reachOfNewest;
  }
  const int withNewest = sumFirstKLess1 + Pick<M>(sums, takenFirstKLess1 + 1);
  const int withoutNewest = divideByK(sumFirstK + Pick<M>(sums, takenFirstK));
  const int r = written[M - 1];
  const int e = r < v ? v - r : r - v;
  const int with = divideByK(r + withNewest);
  // Both means are formed and one chosen by a mask: a branch would miss
  // often.
  const int mask = -static_cast<int>(e <= reachOfNewest);
  return (with & mask) | (withoutNewest & ~mask);
}

/// The serial steps of a block of one row, one pixel after the other.
template <int M>
void MergeWritten(const Plan& plan, BYTE* row, std::ptrdiff_t x0, std::ptrdiff_t length,
                  const ExactDivider& divideByK) {
  if constexpr (M == 0) {
    for (std::ptrdiff_t i = 0; i < length; ++i)
      row[x0 + i] = static_cast<BYTE>(divideByK(plan.sums[0][i]));
  } else if constexpr (M == 2) {
    // The same step written out for one older sample w (the 5 × 5 window),
    // with what depends on w apart from what depends on r.
    // A copy the byte stores to row cannot alias, so it stays in a register.
    const ExactDivider divide = divideByK;
    int w = row[x0 - 2];
    int r = row[x0 - 1];
    const std::int16_t* reach0 = plan.reach[0];
    const std::int16_t* reach1 = plan.reach[1];
    const std::int16_t* sums0 = plan.sums[0];
    const std::int16_t* sums1 = plan.sums[1];
    const std::int16_t* sums2 = plan.sums[2];
    for (std::ptrdiff_t i = 0; i < length; ++i) {
      const int v = row[x0 + i];
      const int d = w < v ? v - w : w - v;
      const int first = reach0[i];
      const int second = reach1[i];
      // Selected by masks: as branches these would miss often.
      const int inFirst = -static_cast<int>(d <= first);
      const int inSecond = -static_cast<int>(d <= second);
      const int withoutNewest = divide(((w + sums1[i]) & inFirst) | (sums0[i] & ~inFirst));
      const int withNewest = ((w + sums2[i]) & inSecond) | (sums1[i] & ~inSecond);
      const int bound = first < d - 1 ? first : d - 1;
      const int reachOfNewest = bound > second ? bound : second;
      const int e = r < v ? v - r : r - v;
      const int with = divide(r + withNewest);
      const int mask = -static_cast<int>(e <= reachOfNewest);
      const int result = (with & mask) | (withoutNewest & ~mask);
      row[x0 + i] = static_cast<BYTE>(result);
      w = r;
      r = result;
    }
  } else {
    int written[M];
    for (int i = 0; i < M; ++i) written[i] = row[x0 - M + i];
    for (std::ptrdiff_t i = 0; i < length; ++i) {
      int reach[M + 1];
      int sums[M + 1];
      for (int c = 0; c < M; ++c) reach[c] = plan.reach[c][i];
      reach[M] = -1;
      for (int j = 0; j <= M; ++j) sums[j] = plan.sums[j][i];
      const int result = StepWithWritten<M>(row[x0 + i], reach, sums, written, divideByK);
      row[x0 + i] = static_cast<BYTE>(result);
      for (int a = 0; a + 1 < M; ++a) written[a] = written[a + 1];
      written[M - 1] = result;
    }
  }
}

void MergeBlock(int written, const Plan& plan, BYTE* row, std::ptrdiff_t x0, std::ptrdiff_t length,
                const ExactDivider& divideByK) {
  switch (written) {
    case 0:
      MergeWritten<0>(plan, row, x0, length, divideByK);
      break;
    case 1:
      MergeWritten<1>(plan, row, x0, length, divideByK);
      break;
    case 2:
      MergeWritten<2>(plan, row, x0, length, divideByK);
      break;
    case 3:
      MergeWritten<3>(plan, row, x0, length, divideByK);
      break;
    default:
      MergeWritten<4>(plan, row, x0, length, divideByK);
      break;
  }
}

/// Rows filtered side by side: the serial steps of one pixel in each of up
/// to kRowLanes image rows run as one step across lanes, which vectorises,
/// while each row's chain of results stays in its own lane. Row r starts
/// `stagger` groups of 64 pixels after row r − 1, so the rows above a
/// group are final as far as its windows reach and the rows below not yet
/// written, and a lane takes its next row once its row is done.
constexpr int kRowLanes = 16;
constexpr int kGroupPixels = 64;  // SortedRemainder::kLanes

/// The rows of a group's plan as LanePlans holds them: sums[j] at
/// kSumsRow + j, reach[c] at kReachRow + c, and the pixels' values.
constexpr int kSumsRow = 0;
constexpr int kReachRow = kMaxWritten + 1;
constexpr int kValueRow = 2 * kMaxWritten + 1;
constexpr int kPlanRows = 2 * kMaxWritten + 2;

/// The lanes' current groups, one lane per row. Each group's plan lies
/// pixel after pixel, as the planners write it fastest; the vector steps
/// turn sixteen pixels of all lanes at a time into one vector per pixel.
struct LanePlans {
  std::int16_t plan[kRowLanes][kPlanRows][kGroupPixels];
  std::int16_t result[kRowLanes][kGroupPixels];
  std::int16_t written[kMaxWritten][kRowLanes];  // oldest first
};

/// Division by k, one lane at a time and across lanes (k ≥ 2).
struct Divisors {
  ExactDivider exact;
  LaneDivider lanes;
};

constexpr int kTurned = 16;  // pixels of every lane the steps turn at a time
static_assert(kRowLanes == 16 && kGroupPixels % kTurned == 0, "the block turned is 16 × 16");
constexpr std::ptrdiff_t kLaneStride = kPlanRows * kGroupPixels;

/// Sixteen pixels of the lanes' plans turned: [plan row][pixel][lane].
using AcrossLanes = std::int16_t[kPlanRows][kTurned][kRowLanes];

/// Whether the steps for m written samples read the plan row: sums
/// 0 .. m, reach 0 .. m − 1 and the values.
constexpr bool ReadsRow(int row, int m) {
  return row <= kSumsRow + m || (row >= kReachRow && row < kReachRow + m) || row == kValueRow;
}

/// Turns a 16 × 16 block of 16-bit entries: to[c × toStride + r] =
/// from[r × fromStride + c].
void TurnBlockLoops(const std::int16_t* from, std::ptrdiff_t fromStride, std::int16_t* to,
                    std::ptrdiff_t toStride) {
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) to[c * toStride + r] = from[r * fromStride + c];
}

/// The serial step of pixel i of the turned block in every lane.
template <int M>
ZENTREL_NEAREST_ALWAYS_INLINE void StepLanes(const AcrossLanes& across, int i,
                                             std::int16_t (&written)[kMaxWritten][kRowLanes],
                                             std::int16_t* results, const ExactDivider& divide) {
  for (int l = 0; l < kRowLanes; ++l) {
    int reach[M + 1];
    int sums[M + 1];
    int before[M];
    for (int c = 0; c < M; ++c) reach[c] = across[kReachRow + c][i][l];
    reach[M] = -1;
    for (int j = 0; j <= M; ++j) sums[j] = across[kSumsRow + j][i][l];
    for (int a = 0; a < M; ++a) before[a] = written[a][l];
    const int result = StepWithWritten<M>(across[kValueRow][i][l], reach, sums, before, divide);
    results[l] = static_cast<std::int16_t>(result);
    for (int a = 0; a + 1 < M; ++a) written[a][l] = written[a + 1][l];
    written[M - 1][l] = static_cast<std::int16_t>(result);
  }
}

/// The lanes' steps one lane after the other, the portable way, sixteen
/// pixels of every lane turned at a time so that a step reads its lanes'
/// plans side by side.
template <int M>
void StepLanesLoops(LanePlans& lanes, int steps, const Divisors& divide) {
  AcrossLanes across;
  std::int16_t results[kTurned][kRowLanes] = {};
  for (int first = 0; first < steps; first += kTurned) {
    for (int row = 0; row < kPlanRows; ++row)
      if (ReadsRow(row, M))
        TurnBlockLoops(&lanes.plan[0][row][first], kLaneStride, across[row][0], kRowLanes);
    const int count = std::min(kTurned, steps - first);
    for (int i = 0; i < count; ++i)
      StepLanes<M>(across, i, lanes.written, results[i], divide.exact);
    TurnBlockLoops(results[0], kRowLanes, &lanes.result[0][first], kGroupPixels);
  }
}

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
// The helpers below pass the lanes' vector by value, so they are built
// for AVX2, which holds it in one register.
#define ZENTREL_NEAREST_LANES_INLINE __attribute__((target("avx2"), always_inline)) inline

/// The lanes of a step as one vector; its comparisons give −1 or 0.
typedef std::int16_t LaneVector __attribute__((vector_size(2 * kRowLanes)));

ZENTREL_NEAREST_LANES_INLINE LaneVector LoadLanes(const std::int16_t* from) {
  LaneVector v;
  std::memcpy(&v, from, sizeof v);
  return v;
}

ZENTREL_NEAREST_LANES_INLINE void StoreLanes(std::int16_t* to, LaneVector v) {
  std::memcpy(to, &v, sizeof v);
}

/// mask ? a : b, mask −1 or 0 in every lane.
ZENTREL_NEAREST_LANES_INLINE LaneVector Select(LaneVector mask, LaneVector a, LaneVector b) {
  return (a & mask) | (b & ~mask);
}

ZENTREL_NEAREST_LANES_INLINE LaneVector AbsoluteDifference(LaneVector a, LaneVector b) {
  const LaneVector d = a - b;
  const LaneVector negative = d >> 15;
  return (d ^ negative) - negative;
}

template <int M>
ZENTREL_NEAREST_LANES_INLINE LaneVector PickLanes(const LaneVector* values, LaneVector index) {
  LaneVector picked = values[0];
  for (int j = 1; j <= M; ++j)
    picked = Select(index >= static_cast<std::int16_t>(j), values[j], picked);
  return picked;
}

/// The unsigned high halves of the lanes' 16-bit products (one vector
/// instruction where there is one).
ZENTREL_NEAREST_LANES_INLINE LaneVector HighHalf(LaneVector n, LaneVector m) {
  typedef std::uint16_t Unsigned __attribute__((vector_size(2 * kRowLanes)));
  typedef std::uint32_t Product __attribute__((vector_size(4 * kRowLanes)));
  const Product product = __builtin_convertvector(reinterpret_cast<Unsigned&>(n), Product) *
                          __builtin_convertvector(reinterpret_cast<Unsigned&>(m), Product);
  return reinterpret_cast<const LaneVector&>(
      static_cast<const Unsigned&>(__builtin_convertvector(product >> 16, Unsigned)));
}

/// Turns a 16 × 16 block of 16-bit entries: to[c × toStride + r] =
/// from[r × fromStride + c]. Interleaves rows in pairs, then fours, then
/// eights (within each 128-bit half), and joins the halves.
ZENTREL_NEAREST_LANES_INLINE void TurnBlock(const std::int16_t* from, std::ptrdiff_t fromStride,
                                            std::int16_t* to, std::ptrdiff_t toStride) {
  __m256i a[16];
  __m256i b[16];
  for (int r = 0; r < 16; ++r)
    a[r] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + r * fromStride));
  // 32-bit elements: one column of rows r, r + 1.
  for (int r = 0; r < 16; r += 2) {
    b[r] = _mm256_unpacklo_epi16(a[r], a[r + 1]);      // columns 0–3 | 8–11
    b[r + 1] = _mm256_unpackhi_epi16(a[r], a[r + 1]);  // columns 4–7 | 12–15
  }
  // 64-bit elements: one column of rows r .. r + 3.
  for (int r = 0; r < 16; r += 4) {
    a[r] = _mm256_unpacklo_epi32(b[r], b[r + 2]);          // columns 0, 1 | 8, 9
    a[r + 1] = _mm256_unpackhi_epi32(b[r], b[r + 2]);      // 2, 3 | 10, 11
    a[r + 2] = _mm256_unpacklo_epi32(b[r + 1], b[r + 3]);  // 4, 5 | 12, 13
    a[r + 3] = _mm256_unpackhi_epi32(b[r + 1], b[r + 3]);  // 6, 7 | 14, 15
  }
  // Each 128-bit half: one column of rows r .. r + 7; b[r + c] holds
  // columns c | c + 8.
  for (int r = 0; r < 16; r += 8) {
    for (int q = 0; q < 4; ++q) {
      b[r + 2 * q] = _mm256_unpacklo_epi64(a[r + q], a[r + 4 + q]);
      b[r + 2 * q + 1] = _mm256_unpackhi_epi64(a[r + q], a[r + 4 + q]);
    }
  }
  for (int c = 0; c < 8; ++c) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + c * toStride),
                        _mm256_permute2x128_si256(b[c], b[8 + c], 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + (c + 8) * toStride),
                        _mm256_permute2x128_si256(b[c], b[8 + c], 0x31));
  }
}

/// StepWithWritten across the lanes, sixteen pixels of every lane at a
/// time: their plans turned into one vector per pixel and plan row, and
/// the results turned back.
template <int M>
ZENTREL_NEAREST_LANES_INLINE void StepLanesVector(LanePlans& lanes, int steps,
                                                  const Divisors& divide) {
  constexpr int N = M - 1;
  const LaneVector multiplier = LaneVector{} + static_cast<std::int16_t>(divide.lanes.multiplier);
  const int shift = divide.lanes.shift;
  alignas(32) AcrossLanes across;
  alignas(32) std::int16_t results[kTurned][kRowLanes] = {};
  LaneVector written[M];
  for (int a = 0; a < M; ++a) written[a] = LoadLanes(lanes.written[a]);
  for (int first = 0; first < steps; first += kTurned) {
    for (int row = 0; row < kPlanRows; ++row)
      if (ReadsRow(row, M))
        TurnBlock(&lanes.plan[0][row][first], kLaneStride, across[row][0], kRowLanes);
    const int count = std::min(kTurned, steps - first);
    for (int i = 0; i < count; ++i) {
      const LaneVector v = LoadLanes(across[kValueRow][i]);
      LaneVector reach[M + 1];
      LaneVector sums[M + 1];
      for (int c = 0; c < M; ++c) reach[c] = LoadLanes(across[kReachRow + c][i]);
      reach[M] = LaneVector{} - 1;
      for (int j = 0; j <= M; ++j) sums[j] = LoadLanes(across[kSumsRow + j][i]);
      LaneVector distance[M];
      LaneVector ahead[M] = {};
      for (int a = 0; a < N; ++a) distance[a] = AbsoluteDifference(written[a], v);
      for (int a = 0; a < N; ++a) {
        for (int b = a + 1; b < N; ++b) {
          const LaneVector bFirst = distance[b] < distance[a];  // −1 or 0
          ahead[a] -= bFirst;
          ahead[b] += 1 + bFirst;
        }
      }
      LaneVector takenFirstK = {};
      LaneVector takenFirstKLess1 = {};
      LaneVector sumFirstK = {};
      LaneVector sumFirstKLess1 = {};
      LaneVector reachOfNewest = reach[N];
      for (int a = 0; a < N; ++a) {
        const LaneVector reachHere = PickLanes<M>(reach, ahead[a]);
        const LaneVector reachNext = PickLanes<M>(reach, ahead[a] + 1);
        const LaneVector inFirstK = distance[a] <= reachHere;
        const LaneVector inFirstKLess1 = distance[a] <= reachNext;
        takenFirstK -= inFirstK;
        takenFirstKLess1 -= inFirstKLess1;
        sumFirstK += written[a] & inFirstK;
        sumFirstKLess1 += written[a] & inFirstKLess1;
        const LaneVector lessOne = distance[a] - 1;
        const LaneVector bound = Select(reachHere < lessOne, reachHere, lessOne);
        reachOfNewest = Select(bound > reachOfNewest, bound, reachOfNewest);
      }
      const LaneVector withNewest = sumFirstKLess1 + PickLanes<M>(sums, takenFirstKLess1 + 1);
      const LaneVector withoutNewest =
          HighHalf(sumFirstK + PickLanes<M>(sums, takenFirstK), multiplier) >> shift;
      const LaneVector r = written[M - 1];
      const LaneVector with = HighHalf(r + withNewest, multiplier) >> shift;
      const LaneVector result =
          Select(AbsoluteDifference(r, v) <= reachOfNewest, with, withoutNewest);
      StoreLanes(results[i], result);
      for (int a = 0; a + 1 < M; ++a) written[a] = written[a + 1];
      written[M - 1] = result;
    }
    TurnBlock(results[0], kRowLanes, &lanes.result[0][first], kGroupPixels);
  }
  for (int a = 0; a < M; ++a) StoreLanes(lanes.written[a], written[a]);
}

template <int M>
__attribute__((target("avx2"))) void StepLanesAvx2(LanePlans& lanes, int steps,
                                                   const Divisors& divide) {
  StepLanesVector<M>(lanes, steps, divide);
}

template <int M>
__attribute__((target("avx512bw"))) void StepLanesAvx512(LanePlans& lanes, int steps,
                                                         const Divisors& divide) {
  StepLanesVector<M>(lanes, steps, divide);
}
#endif

using StepLanesFunction = void (*)(LanePlans&, int, const Divisors&);

template <int M>
StepLanesFunction StepsFor(bool wide, bool widest) {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  if (widest) return &StepLanesAvx512<M>;
  if (wide) return &StepLanesAvx2<M>;
#else
  static_cast<void>(wide);
  static_cast<void>(widest);
#endif
  return &StepLanesLoops<M>;
}

StepLanesFunction ChooseStepLanes(int m, bool wide, bool widest) {
  switch (m) {
    case 1:
      return StepsFor<1>(wide, widest);
    case 2:
      return StepsFor<2>(wide, widest);
    case 3:
      return StepsFor<3>(wide, widest);
    default:
      return StepsFor<4>(wide, widest);
  }
}

/// The rows of the windows of row y. ownTwice: the window's clamped extra
/// row is row y itself.
WindowRows RowsOf(const NoiseWindow& window, std::ptrdiff_t y, bool& ownTwice) {
  WindowRows rows{};
  for (int r = 0; r < window.hh; ++r) rows.above[rows.aboveCount++] = window.Row(y - window.hh + r);
  rows.own = window.Row(y);
  ownTwice = false;
  for (int r = window.hh + 1; r < window.h; ++r) {
    const std::ptrdiff_t source = window.ClampRow(y - window.hh + r);
    ownTwice = ownTwice || source == y;
    rows.below[rows.belowCount++] = window.Row(source);
  }
  return rows;
}

/// Filters the rows first .. end − 1 (none holding its own row twice) with
/// up to rowLanes of them side by side.
void FilterRowsSideBySide(const NoiseWindow& window, std::ptrdiff_t first, std::ptrdiff_t end,
                          int rowLanes, const SortedRemainder& sorted, StepLanesFunction steps,
                          const Divisors& divide, LanePlans& lanes) {
  const int m = window.hw;
  const std::ptrdiff_t count = end - first;
  const std::ptrdiff_t span = window.EndX() - window.FirstX();
  const std::ptrdiff_t groups = (span + kGroupPixels - 1) / kGroupPixels;
  // With fewer rows in flight than groups in a row, a lane is free again
  // when its next row is due.
  const std::ptrdiff_t stagger = std::max<std::ptrdiff_t>(2, (groups + rowLanes - 1) / rowLanes);
  struct Group {
    int lane;
    std::ptrdiff_t x0;  // its first pixel
    int length;
  };
  for (std::ptrdiff_t slot = 0; slot < (count - 1) * stagger + groups; ++slot) {
    const std::ptrdiff_t firstRow = slot < groups ? 0 : (slot - groups + 1 + stagger - 1) / stagger;
    const std::ptrdiff_t lastRow = std::min(count - 1, slot / stagger);
    // Row r's group in this slot.
    const auto groupOf = [&](std::ptrdiff_t r) {
      const std::ptrdiff_t x0 = window.FirstX() + (slot - r * stagger) * kGroupPixels;
      return Group{static_cast<int>(r % rowLanes), x0,
                   static_cast<int>(std::min<std::ptrdiff_t>(kGroupPixels, window.EndX() - x0))};
    };
    int longest = 0;
    for (std::ptrdiff_t r = firstRow; r <= lastRow; ++r) {
      const Group group = groupOf(r);
      bool ownTwice = false;
      const WindowRows rows = RowsOf(window, first + r, ownTwice);
      const BYTE* row = rows.own;
      if (group.x0 == window.FirstX())
        for (int a = 0; a < m; ++a) lanes.written[a][group.lane] = row[group.x0 - m + a];
      std::int16_t(*plan)[kGroupPixels] = lanes.plan[group.lane];
      PlanOut out{};
      for (int j = 0; j <= m; ++j) out.sums[j] = plan[kSumsRow + j];
      for (int c = 0; c < m; ++c) out.reach[c] = plan[kReachRow + c];
      sorted.PlanGroup(out, rows, group.x0, group.length);
      for (int i = 0; i < group.length; ++i) plan[kValueRow][i] = row[group.x0 + i];
      longest = std::max(longest, group.length);
    }
    steps(lanes, longest, divide);
    for (std::ptrdiff_t r = firstRow; r <= lastRow; ++r) {
      const Group group = groupOf(r);
      BYTE* const row = window.Row(first + r);
      for (int i = 0; i < group.length; ++i)
        row[group.x0 + i] = static_cast<BYTE>(lanes.result[group.lane][i]);
    }
  }
}

/// A row whose window holds the row itself twice (a window two rows high,
/// whose clamped second row is the last row): the written samples then lie
/// in two places of the reading order. Done literally, with the keys
/// (distance, place) sorted; one row of the image at most.
void FilterRowLiterally(const NoiseWindow& win, std::ptrdiff_t y, int k,
                        const ExactDivider& divideByK) {
  BYTE* const row = win.Row(y);
  for (std::ptrdiff_t x = win.FirstX(); x < win.EndX(); ++x) {
    const int v = row[x];
    int keys[100];
    int n = 0;
    for (int r = 0; r < win.h; ++r) {
      const BYTE* source = win.Row(win.ClampRow(y - win.hh + r));
      for (int c = 0; c < win.w; ++c, ++n) {
        const int s = source[win.ClampColumn(x - win.hw + c)];
        keys[n] = ((s < v ? v - s : s - v) << 16) | (n << 8) | s;
      }
    }
    std::sort(keys, keys + n);
    int sum = 0;
    for (int i = 0; i < k; ++i) sum += keys[i] & 0xFF;
    row[x] = static_cast<BYTE>(divideByK(sum));
  }
}

}  // namespace

namespace {

/// The loops a call may take on this processor.
struct Lanes {
  bool missing = false;  // lanes named that the processor or build lacks
  bool wide = false;     // AVX2
  bool widest = false;   // AVX-512BW too
};

Lanes ResolveLanes(NearestLanes widest) {
  const bool named = widest != NearestLanes::kChosen;  // kChosen falls back to the portable loops
  if (!named) {
#if defined(ZENTREL_CLEANUP_PORTABLE)
    widest = NearestLanes::kNone;
#else
    widest = NearestLanes::kAvx512;
#endif
  }
  Lanes lanes;
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  lanes.wide = widest != NearestLanes::kNone && __builtin_cpu_supports("avx2");
  lanes.widest =
      lanes.wide && widest == NearestLanes::kAvx512 && __builtin_cpu_supports("avx512bw");
#endif
  lanes.missing = named && widest != NearestLanes::kNone && !lanes.wide;
  return lanes;
}

/// Whether the network serves the window with these lanes.
bool Serves(const NoiseWindow& window, const Lanes& lanes) {
  const int remainder = window.Samples() - window.hw;
  static_assert(kMaxRemainderSorted <= SortedRemainder::kMaxSlots);
  return !lanes.missing && (remainder <= kMaxRemainderSorted ||
                            (lanes.wide && CountingAvailable(CountingLanes::kAvx2)));
}

}  // namespace

bool RunNearestWindow(const NoiseWindow& window, int k, NearestLanes widest, int rowLanes) {
  const Lanes lanes = ResolveLanes(widest);
  if (!Serves(window, lanes)) return false;
  const ExactDivider divideByK(static_cast<std::uint32_t>(k));
  SortedRemainder sorted(window, k, lanes.wide, lanes.widest);
  Plan plan;
  std::ptrdiff_t y = window.FirstY();
  if (window.hw > 0 && !sorted.PrunedForK() && k >= 2) {
    // The last row, when it holds itself twice, is left to the loop below.
    std::ptrdiff_t end = window.EndY();
    if (window.RowMultiplicity(end - 1) > 1) --end;
    if (end > y) {
      LanePlans lanePlans{};
      const int inFlight = rowLanes >= 1 && rowLanes <= kRowLanes ? rowLanes : kRowLanes;
      FilterRowsSideBySide(window, y, end, inFlight, sorted,
                           ChooseStepLanes(window.hw, lanes.wide, lanes.widest),
                           Divisors{divideByK, LaneDivider(k)}, lanePlans);
      y = end;
    }
  }
  for (; y < window.EndY(); ++y) {
    bool ownTwice = false;
    const WindowRows rows = RowsOf(window, y, ownTwice);
    if (ownTwice) {
      FilterRowLiterally(window, y, k, divideByK);
      continue;
    }
    BYTE* const row = window.Row(y);
    if (sorted.FilterRow(plan, rows, row, divideByK)) continue;
    for (std::ptrdiff_t x0 = window.FirstX(); x0 < window.EndX(); x0 += kBlock) {
      const std::ptrdiff_t length = std::min(kBlock, window.EndX() - x0);
      for (std::ptrdiff_t i = 0; i < length; i += SortedRemainder::kLanes) {
        // A short last group is moved back to end with the block, its lanes
        // all real pixels: partial groups read copied columns.
        // The lanes planned twice get the same plan again (nothing of the
        // block is written before its plan is complete).
        const std::ptrdiff_t start =
            length - i < SortedRemainder::kLanes && length >= SortedRemainder::kLanes
                ? length - SortedRemainder::kLanes
                : i;
        sorted.PlanGroup(PlanOut::Into(plan, start), rows, x0 + start,
                         std::min<std::ptrdiff_t>(SortedRemainder::kLanes, length - start));
      }
      MergeBlock(window.hw, plan, row, x0, length, divideByK);
    }
  }
  return true;
}

}  // namespace zentrel::detail::cleanup
