// The median filter (type 3) for windows other than 3 × 3, in place and in
// raster order like the literal filter, with only a short step per pixel
// depending on the results before it.
//
// Of the window of pixel (x, y) only the m own-row samples left of x
// (m = hw, or 2hw on the last row of a two-row window, which counts its own
// row twice) were written by this pass; call the rest R. R holds rows above
// (final), the own row from x on and the rows below (not yet written), so
// all of it is known before the row starts. With t = (N − 1) / 2 and r_i the
// sorted samples of R, the median of the window is the element of rank m
// of the 2m + 1 values r_(t−m) … r_(t) and the m written samples: at most m
// written values lie below r_(t−m), and t − m samples of R lie at or below
// it. Ranks below 0 (small windows) stand for values below all others; 0
// serves for them, since only equal values can take their places.
//
// Each row therefore runs in two phases. Ahead, a block of pixels at a
// time: R's ranks t − m … t are read off histograms of the window with
// the own row as it was before the pass (a coarse level of runs of 16
// values kept per column, and a fine level kept per window), less the m
// original own-row samples left of x. Then the serial step puts the
// written samples in and reads rank m. The counting takes 32 neighbouring
// windows at once, one byte lane each (64 where the processor has
// AVX-512BW), and the serial step keeps its pending lists in the slots of
// a vector, both with AVX2; only the last
// row of a two-row window (its own row counted twice, so m = 2hw) slides
// the run counts along the row, finds the window's ranks t − m … t + m
// one pixel at a time, takes the m samples out of them and steps one
// pixel at a time. Without AVX2 the caller keeps to its sliding histogram: this
// counting in 16-byte or scalar steps was several times slower than that.
#include "cleanup/MedianWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cleanup/WindowCounts.h"
#include "platform/Memory.h"

// The AVX2 loops are built where GCC or Clang build for x86-64 and chosen
// at run time. In a build with ZENTREL_CLEANUP_PORTABLE (the test program's
// copy) they are taken only when the caller names them, so that each path
// can be checked whatever the machine picks.
#if defined(__GNUC__) && defined(__x86_64__)
#define ZENTREL_MEDIAN_HAVE_AVX2 1
#include <immintrin.h>
#define ZENTREL_MEDIAN_WIDE __attribute__((target("avx2")))
#define ZENTREL_MEDIAN_WIDE_INLINE __attribute__((target("avx2"), always_inline)) inline
// The counting also comes with 64-byte lanes, chosen where the processor
// has AVX-512BW.
#define ZENTREL_MEDIAN_HAVE_AVX512 1
#define ZENTREL_MEDIAN_WIDEST __attribute__((target("avx512bw")))
#define ZENTREL_MEDIAN_WIDEST_INLINE __attribute__((target("avx512bw"), always_inline)) inline
#endif

#if defined(ZENTREL_MEDIAN_HAVE_AVX2)
namespace zentrel::detail::cleanup {
namespace {

constexpr int kRuns = WindowCounts::kRuns;

/// Whether the processor and this build have the 64-pixel counting.
bool IsAvx512Available() {
#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
  return __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}
constexpr std::ptrdiff_t kBlock = 256;
// Ranks t − m … t + m with m up to 8 (a 10-wide window over a doubled row).
constexpr int kMaxRanks = 17;
// Bytes per pixel of R's ranks t − m … t.
constexpr std::size_t kRankStride = 16;
constexpr std::size_t kRingStride = 8;  // the same for m ≤ 4 on the AVX2 path
// Pixels of padding behind the row's records: the ring reads up to 4
// pixels ahead, the packing writes up to 15 past the row.
constexpr std::size_t kRankPadding = 16;

/// The run counts of one row's window, slid along the row (the value
/// counts are read for the pixel where a rank falls in their run).
struct SlidingCounts {
  alignas(16) BYTE coarse[kRuns];
  std::ptrdiff_t x;
};

/// What one row's phases share.
struct RowContext {
  const NoiseWindow* win;
  const WindowCounts* columns;
  const BYTE* original;  // the own row before the pass
  int lo;                // the lowest rank of the window wanted (may be < 0)
  int count;             // ranks lo … lo + count − 1
  int m;                 // written samples in each window
  int mult;              // how often the own row counts
  bool lanes64;          // count 64 pixels at once (AVX-512BW)

  std::ptrdiff_t Entering(std::ptrdiff_t x) const {  // column entering from x to x + 1
    return win->ClampColumn(x + 1 - win->hw + win->w - 1);
  }
  std::ptrdiff_t Leaving(std::ptrdiff_t x) const { return x - win->hw; }
};

void StartRow(SlidingCounts& counts, const RowContext& row) {
  const NoiseWindow& win = *row.win;
  std::memset(counts.coarse, 0, sizeof counts.coarse);
  for (int c = 0; c < win.w; ++c) {
    for (int i = 0; i < kRuns; ++i)
      counts.coarse[i] = static_cast<BYTE>(counts.coarse[i] + row.columns->Coarse(i)[c]);
  }
  counts.x = win.FirstX();
}

/// Moves the coarse counts on to pixel x.
void SlideTo(SlidingCounts& counts, const RowContext& row, std::ptrdiff_t x) {
  for (; counts.x < x; ++counts.x) {
    const std::ptrdiff_t in = row.Entering(counts.x);
    const std::ptrdiff_t out = row.Leaving(counts.x);
    for (int i = 0; i < kRuns; ++i) {
      const BYTE* run = row.columns->Coarse(i);
      counts.coarse[i] = static_cast<BYTE>(counts.coarse[i] + run[in] - run[out]);
    }
  }
}

/// The window's ranks lo … lo + count − 1 for pixels x0 … x0 + length − 1:
/// rank i of pixel x0 + j goes to ranks[i * kBlock + j].
void PrepareRanks(SlidingCounts& counts, const RowContext& row, std::ptrdiff_t x0,
                  std::ptrdiff_t length, BYTE* ranks) {
  for (std::ptrdiff_t j = 0; j < length; ++j) {
    const std::ptrdiff_t x = x0 + j;
    SlideTo(counts, row, x);
    int prefix[kRuns];
    int sum = 0;
    for (int i = 0; i < kRuns; ++i) prefix[i] = sum += counts.coarse[i];
    int b = -1;
    int finePrefix[16] = {};
    for (int i = 0; i < row.count; ++i) {
      const int r = row.lo + i;
      int value = 0;
      if (r >= 0) {
        int run = 0;
        while (prefix[run] <= r) ++run;  // prefix[15] = N > r
        if (run != b) {
          b = run;
          int fineSum = b > 0 ? prefix[b - 1] : 0;
          for (int f = 0; f < 16; ++f) finePrefix[f] = fineSum += row.columns->Fine(16 * b + f)[x];
        }
        int v = 0;
        while (finePrefix[v] <= r) ++v;
        value = 16 * b + v;
      }
      ranks[i * kBlock + j] = static_cast<BYTE>(value);
    }
  }
}

ZENTREL_MEDIAN_WIDE_INLINE __m128i Load16(const BYTE* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
ZENTREL_MEDIAN_WIDE_INLINE __m256i Load32(const BYTE* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

/// The counts of 32 neighbouring windows of W columns, the first window
/// starting at counts[0] (unrolled, summed as a tree).
template <int W>
ZENTREL_MEDIAN_WIDE_INLINE __m256i WindowSum(const BYTE* counts) {
  if constexpr (W == 1) {
    return Load32(counts);
  } else {
    return _mm256_add_epi8(WindowSum<W / 2>(counts), WindowSum<W - W / 2>(counts + W / 2));
  }
}

/// The smallest and the largest of 32 bytes.
ZENTREL_MEDIAN_WIDE_INLINE int ReduceMin(__m256i v) {
  __m128i x = _mm_min_epu8(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  x = _mm_min_epu8(x, _mm_srli_si128(x, 8));
  x = _mm_min_epu8(x, _mm_srli_si128(x, 4));
  x = _mm_min_epu8(x, _mm_srli_si128(x, 2));
  x = _mm_min_epu8(x, _mm_srli_si128(x, 1));
  return _mm_cvtsi128_si32(x) & 0xFF;
}
ZENTREL_MEDIAN_WIDE_INLINE int ReduceMax(__m256i v) {
  __m128i x = _mm_max_epu8(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  x = _mm_max_epu8(x, _mm_srli_si128(x, 8));
  x = _mm_max_epu8(x, _mm_srli_si128(x, 4));
  x = _mm_max_epu8(x, _mm_srli_si128(x, 2));
  x = _mm_max_epu8(x, _mm_srli_si128(x, 1));
  return _mm_cvtsi128_si32(x) & 0xFF;
}

/// R's ranks lo … lo + m for pixels x0 … x0 + length − 1 of a row counted
/// once (to ranks[i * kBlock + j]), 32 pixels side by side in the bytes of
/// a vector. The value at rank r is the number of values v whose running
/// count (samples ≤ v) is at most r. The window's counts of each run are
/// sums of W neighbouring column counts, those of each value one load.
/// Runs below the lowest wanted rank of every pixel add 16, runs above the
/// highest add nothing; in the runs between, values that lie at or below
/// every pixel's lowest rank in the whole window (so in R too) add one
/// each, and from the first that does not, R's running counts are
/// compared with its m + 1 ranks value by value.
template <int W>
ZENTREL_MEDIAN_WIDE void PrepareRanksWide(const RowContext& row, std::ptrdiff_t x0,
                                          std::ptrdiff_t length, BYTE* ranks, bool& fromTop) {
  const WindowCounts& columns = *row.columns;
  // A row counted once has m = hw, known here so that the counts of every
  // rank stay in registers.
  constexpr int kM = (W - 1) / 2;
  const int first = row.lo < 0 ? -row.lo : 0;  // the first rank not below 0
  const int last = row.count - 1;
  __m256i atMost[kMaxRanks];  // rank + 1: a running count below it is at most the rank
  for (int i = 0; i < row.count; ++i)
    atMost[i] = _mm256_set1_epi8(static_cast<char>(row.lo + i + 1));
  const __m256i lane = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                        17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m256i total = _mm256_set1_epi8(static_cast<char>(row.win->Samples()));
  for (std::ptrdiff_t j = 0; j < length; j += 32) {
    const std::ptrdiff_t start = x0 + j - row.win->hw;  // first column of the first window
    const __m256i valid = _mm256_cmpgt_epi8(
        _mm256_set1_epi8(static_cast<char>(std::min<std::ptrdiff_t>(32, length - j))), lane);
    const unsigned validBits = static_cast<unsigned>(_mm256_movemask_epi8(valid));
    // The running count through each run (samples in runs 0 … k) as far
    // as it is needed, and per pixel the runs of its lowest and highest
    // wanted ranks (the number of runs whose running count is at most the
    // rank). Light images are quicker counted from the top run down, dark
    // ones from the bottom up; the previous block decides.
    __m256i below[kRuns];
    __m256i lowRun = _mm256_setzero_si256();
    __m256i highRun = _mm256_setzero_si256();
    if (fromTop) {
      __m256i above = _mm256_setzero_si256();
      for (int k = kRuns - 1;; --k) {
        below[k] = _mm256_sub_epi8(total, above);
        const __m256i low = _mm256_cmpgt_epi8(atMost[first], below[k]);
        lowRun = _mm256_sub_epi8(lowRun, low);
        highRun = _mm256_sub_epi8(highRun, _mm256_cmpgt_epi8(atMost[last], below[k]));
        if ((static_cast<unsigned>(_mm256_movemask_epi8(low)) | ~validBits) == 0xFFFFFFFFu) {
          // Every pixel's lowest rank lies above this run: so do runs 0 … k − 1.
          const __m256i lower = _mm256_set1_epi8(static_cast<char>(k));
          lowRun = _mm256_add_epi8(lowRun, lower);
          highRun = _mm256_add_epi8(highRun, lower);
          break;
        }
        if (k == 0) break;
        above = _mm256_add_epi8(above, WindowSum<W>(columns.Coarse(k) + start));
      }
    } else {
      __m256i running = _mm256_setzero_si256();
      for (int k = 0; k < kRuns; ++k) {
        running = _mm256_add_epi8(running, WindowSum<W>(columns.Coarse(k) + start));
        below[k] = running;
        lowRun = _mm256_sub_epi8(lowRun, _mm256_cmpgt_epi8(atMost[first], running));
        const __m256i high = _mm256_cmpgt_epi8(atMost[last], running);
        highRun = _mm256_sub_epi8(highRun, high);
        // No pixel's highest rank lies above this run: nor above the next.
        if ((static_cast<unsigned>(_mm256_movemask_epi8(high)) & validBits) == 0) break;
      }
    }
    // Lanes past the block are left out of the range.
    lowRun = _mm256_blendv_epi8(_mm256_set1_epi8(kRuns), lowRun, valid);
    highRun = _mm256_and_si256(highRun, valid);
    const int lowest = ReduceMin(lowRun);
    const int highest = ReduceMax(highRun);
    fromTop = lowest >= kRuns / 2;
    // Values at or below every pixel's lowest wanted rank count for all
    // ranks; once no pixel's running count is at or below its highest
    // wanted rank, no later value counts. Only the values between are
    // compared rank by rank. (Lanes past the block do not hold this up.)
    // Ranks below 0 count nothing (no running count lies below 0) and are
    // written as 0 below. The window's ranks t − m … t + m bound R's
    // ranks t − m … t (m samples fewer), so its runs bound the values.
    __m256i values[kM + 1];
    for (int i = 0; i <= kM; ++i) values[i] = _mm256_setzero_si256();
    int counted = 16 * lowest;
    const int end = 16 * (highest + 1);
    int v = counted;
    __m256i running = lowest > 0 ? below[lowest - 1] : _mm256_setzero_si256();
    // Two values a step while both count for every rank (the running
    // count only grows), then one.
    for (; v + 1 < end; v += 2) {
      const __m256i both = _mm256_add_epi8(
          running,
          _mm256_add_epi8(Load32(columns.Fine(v) + x0 + j), Load32(columns.Fine(v + 1) + x0 + j)));
      const unsigned atOrBelow =
          static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(atMost[first], both)));
      if ((atOrBelow | ~validBits) != 0xFFFFFFFFu) break;
      running = both;
      counted += 2;
    }
    for (; v < end; ++v) {
      running = _mm256_add_epi8(running, Load32(columns.Fine(v) + x0 + j));
      const unsigned atOrBelow =
          static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(atMost[first], running)));
      if ((atOrBelow | ~validBits) != 0xFFFFFFFFu) break;
      ++counted;
    }
    // From here R is counted: the window less the m original own-row
    // samples left of each pixel (d_s), whose running count is the
    // window's less the d_s at or below the value. Each compare of two
    // equal bytes gives −1.
    __m256i removed[kM > 0 ? kM : 1];
    __m256i value = _mm256_set1_epi8(static_cast<char>(v));
    for (int s = 0; s < kM; ++s) {
      removed[s] = Load32(row.original + x0 + j - kM + s);
      running = _mm256_add_epi8(running,
                                _mm256_cmpeq_epi8(_mm256_min_epu8(removed[s], value), removed[s]));
    }
    const __m256i one = _mm256_set1_epi8(1);
    // Whether any pixel has ranks left is asked every second value: one
    // value more, once every running count lies above every rank, changes
    // no count.
    while (v < end) {
      const unsigned anyLeft =
          static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(atMost[kM], running)));
      if ((anyLeft & validBits) == 0) break;
      for (int k = 0; k < 2 && v < end; ++k) {
        for (int i = 0; i <= kM; ++i)
          values[i] = _mm256_sub_epi8(values[i], _mm256_cmpgt_epi8(atMost[i], running));
        if (++v < end) {
          value = _mm256_add_epi8(value, one);
          __m256i step = Load32(columns.Fine(v) + x0 + j);
          for (int s = 0; s < kM; ++s)
            step = _mm256_add_epi8(step, _mm256_cmpeq_epi8(removed[s], value));
          running = _mm256_add_epi8(running, step);
        }
      }
    }
    const __m256i base = _mm256_set1_epi8(static_cast<char>(counted));
    for (int i = 0; i <= kM; ++i)
      values[i] = i < first ? _mm256_setzero_si256() : _mm256_add_epi8(values[i], base);
    for (int i = 0; i <= kM; ++i)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(ranks + i * kBlock + j), values[i]);
  }
}

#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
// GCC 12's AVX-512 headers fill unused merge operands from a variable set
// to itself, which its flow analysis takes for one used unset.
#if !defined(__clang__)  // a warning of GCC alone
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
ZENTREL_MEDIAN_WIDEST_INLINE __m512i Load64(const BYTE* p) { return _mm512_loadu_si512(p); }

/// WindowSum for 64 neighbouring windows.
template <int W>
ZENTREL_MEDIAN_WIDEST_INLINE __m512i WindowSum64(const BYTE* counts) {
  if constexpr (W == 1) {
    return Load64(counts);
  } else {
    return _mm512_add_epi8(WindowSum64<W / 2>(counts), WindowSum64<W - W / 2>(counts + W / 2));
  }
}

/// The upper 32 bytes (by a shuffle: GCC 12 warns of the extract's
/// unset merge operand).
ZENTREL_MEDIAN_WIDEST_INLINE __m256i UpperHalf(__m512i v) {
  return _mm512_castsi512_si256(_mm512_shuffle_i64x2(v, v, 0xEE));
}
ZENTREL_MEDIAN_WIDEST_INLINE int ReduceMin64(__m512i v) {
  return ReduceMin(_mm256_min_epu8(_mm512_castsi512_si256(v), UpperHalf(v)));
}
ZENTREL_MEDIAN_WIDEST_INLINE int ReduceMax64(__m512i v) {
  return ReduceMax(_mm256_max_epu8(_mm512_castsi512_si256(v), UpperHalf(v)));
}

/// PrepareRanksWide with 64 pixels side by side, the compares giving masks
/// (the same counting, step for step).
template <int W>
ZENTREL_MEDIAN_WIDEST void PrepareRanksWidest(const RowContext& row, std::ptrdiff_t x0,
                                              std::ptrdiff_t length, BYTE* ranks, bool& fromTop) {
  const WindowCounts& columns = *row.columns;
  constexpr int kM = (W - 1) / 2;
  const int first = row.lo < 0 ? -row.lo : 0;
  const int last = row.count - 1;
  __m512i atMost[kMaxRanks];
  for (int i = 0; i < row.count; ++i)
    atMost[i] = _mm512_set1_epi8(static_cast<char>(row.lo + i + 1));
  const __m512i total = _mm512_set1_epi8(static_cast<char>(row.win->Samples()));
  const __m512i one = _mm512_set1_epi8(1);
  for (std::ptrdiff_t j = 0; j < length; j += 64) {
    const std::ptrdiff_t start = x0 + j - row.win->hw;
    const std::ptrdiff_t lanes = std::min<std::ptrdiff_t>(64, length - j);
    const __mmask64 valid = lanes == 64 ? ~__mmask64{0} : (__mmask64{1} << lanes) - 1;
    __m512i below[kRuns];
    __m512i lowRun = _mm512_setzero_si512();
    __m512i highRun = _mm512_setzero_si512();
    if (fromTop) {
      __m512i above = _mm512_setzero_si512();
      for (int k = kRuns - 1;; --k) {
        below[k] = _mm512_sub_epi8(total, above);
        const __mmask64 low = _mm512_cmpgt_epi8_mask(atMost[first], below[k]);
        lowRun = _mm512_mask_add_epi8(lowRun, low, lowRun, one);
        highRun = _mm512_mask_add_epi8(highRun, _mm512_cmpgt_epi8_mask(atMost[last], below[k]),
                                       highRun, one);
        if ((low | ~valid) == ~__mmask64{0}) {
          const __m512i lower = _mm512_set1_epi8(static_cast<char>(k));
          lowRun = _mm512_add_epi8(lowRun, lower);
          highRun = _mm512_add_epi8(highRun, lower);
          break;
        }
        if (k == 0) break;
        above = _mm512_add_epi8(above, WindowSum64<W>(columns.Coarse(k) + start));
      }
    } else {
      __m512i running = _mm512_setzero_si512();
      for (int k = 0; k < kRuns; ++k) {
        running = _mm512_add_epi8(running, WindowSum64<W>(columns.Coarse(k) + start));
        below[k] = running;
        lowRun = _mm512_mask_add_epi8(lowRun, _mm512_cmpgt_epi8_mask(atMost[first], running),
                                      lowRun, one);
        const __mmask64 high = _mm512_cmpgt_epi8_mask(atMost[last], running);
        highRun = _mm512_mask_add_epi8(highRun, high, highRun, one);
        if ((high & valid) == 0) break;
      }
    }
    lowRun = _mm512_mask_blend_epi8(valid, _mm512_set1_epi8(kRuns), lowRun);
    highRun = _mm512_maskz_mov_epi8(valid, highRun);
    const int lowest = ReduceMin64(lowRun);
    const int highest = ReduceMax64(highRun);
    fromTop = lowest >= kRuns / 2;
    __m512i values[kM + 1];
    for (int i = 0; i <= kM; ++i) values[i] = _mm512_setzero_si512();
    int counted = 16 * lowest;
    const int end = 16 * (highest + 1);
    int v = counted;
    __m512i running = lowest > 0 ? below[lowest - 1] : _mm512_setzero_si512();
    for (; v + 1 < end; v += 2) {
      const __m512i both = _mm512_add_epi8(
          running,
          _mm512_add_epi8(Load64(columns.Fine(v) + x0 + j), Load64(columns.Fine(v + 1) + x0 + j)));
      const __mmask64 atOrBelow = _mm512_cmpgt_epi8_mask(atMost[first], both);
      if ((atOrBelow | ~valid) != ~__mmask64{0}) break;
      running = both;
      counted += 2;
    }
    for (; v < end; ++v) {
      running = _mm512_add_epi8(running, Load64(columns.Fine(v) + x0 + j));
      const __mmask64 atOrBelow = _mm512_cmpgt_epi8_mask(atMost[first], running);
      if ((atOrBelow | ~valid) != ~__mmask64{0}) break;
      ++counted;
    }
    __m512i removed[kM > 0 ? kM : 1];
    __m512i value = _mm512_set1_epi8(static_cast<char>(v));
    for (int s = 0; s < kM; ++s) {
      removed[s] = Load64(row.original + x0 + j - kM + s);
      running =
          _mm512_mask_sub_epi8(running, _mm512_cmple_epu8_mask(removed[s], value), running, one);
    }
    while (v < end) {
      if ((_mm512_cmpgt_epi8_mask(atMost[kM], running) & valid) == 0) break;
      for (int k = 0; k < 2 && v < end; ++k) {
        for (int i = 0; i <= kM; ++i)
          values[i] = _mm512_mask_add_epi8(values[i], _mm512_cmpgt_epi8_mask(atMost[i], running),
                                           values[i], one);
        if (++v < end) {
          value = _mm512_add_epi8(value, one);
          __m512i step = Load64(columns.Fine(v) + x0 + j);
          for (int s = 0; s < kM; ++s)
            step = _mm512_mask_sub_epi8(step, _mm512_cmpeq_epi8_mask(removed[s], value), step, one);
          running = _mm512_add_epi8(running, step);
        }
      }
    }
    const __m512i base = _mm512_set1_epi8(static_cast<char>(counted));
    for (int i = 0; i <= kM; ++i)
      values[i] = i < first ? _mm512_setzero_si512() : _mm512_add_epi8(values[i], base);
    for (int i = 0; i <= kM; ++i) _mm512_storeu_si512(ranks + i * kBlock + j, values[i]);
  }
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

/// Takes the m original own-row samples left of each pixel out of the
/// window's ranks lo … lo + 2m, leaving R's ranks lo … lo + m in rows
/// 0 … m. Taking d out of a sorted run: rank i becomes the old rank i
/// where that is below d, else the old rank i + 1.
void TakeOutLeftSamples(const RowContext& row, std::ptrdiff_t x0, std::ptrdiff_t length,
                        BYTE* ranks) {
  for (int s = 0; s < row.m; ++s) {
    const BYTE* d = row.original + x0 - row.win->hw + s / row.mult;
    for (int i = 0; i + 1 < row.count - s; ++i) {
      BYTE* a = ranks + i * kBlock;
      const BYTE* b = a + kBlock;
      for (std::ptrdiff_t j = 0; j < length; ++j) {
        const BYTE kept = a[j];
        const BYTE next = b[j];
        a[j] = kept < d[j] ? kept : next;
      }
    }
  }
}

/// Inserting u into the ranks 0 … m of a set: rank i of the larger set is
/// u clamped to [old rank i − 1, old rank i] (rank −1 being 0).
inline void Insert(BYTE* list, int m, BYTE u) {
  for (int i = m; i >= 0; --i) {
    const BYTE below = i > 0 ? list[i - 1] : 0;
    const BYTE raised = u > below ? u : below;
    list[i] = raised < list[i] ? raised : list[i];
  }
}

/// The serial step, one pixel at a time: R's ranks, the written samples
/// put in, rank m read.
void StepRow(const RowContext& row, BYTE* pixels, const BYTE* rRanks) {
  const NoiseWindow& win = *row.win;
  for (std::ptrdiff_t x = win.FirstX(); x < win.EndX(); ++x) {
    BYTE list[kRankStride];
    std::memcpy(list, rRanks + (x - win.FirstX()) * kRankStride, kRankStride);
    for (std::ptrdiff_t c = x - win.hw; c < x; ++c)
      for (int k = 0; k < row.mult; ++k) Insert(list, row.m, pixels[c]);
    pixels[x] = list[row.m];
  }
}

/// One pixel of the ring of StepRing: the previous result (in every byte of
/// previous) goes into every pending list, the list of slot K is complete
/// and gives the result, and the slot takes the ranks of the pixel M ahead.
template <int M, int K>
ZENTREL_MEDIAN_WIDE_INLINE void RingStep(__m128i& low, __m128i& high, __m128i& previous, BYTE* out,
                                         const BYTE* ahead) {
  low = _mm_min_epu8(_mm_max_epu8(previous, _mm_slli_epi64(low, 8)), low);
  if constexpr (M > 2) high = _mm_min_epu8(_mm_max_epu8(previous, _mm_slli_epi64(high, 8)), high);
  __m128i& slots = K < 2 ? low : high;
  constexpr int kByte = 8 * (K % 2) + M;
  previous = _mm_shuffle_epi8(slots, _mm_set1_epi8(kByte));
  *out = static_cast<BYTE>(_mm_extract_epi8(slots, kByte));
  const __m128i fresh = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ahead));
  if constexpr (K % 2 == 0)
    slots = _mm_blend_epi16(slots, fresh, 0x0F);
  else
    slots = _mm_blend_epi16(slots, _mm_slli_si128(fresh, 8), 0xF0);
}

/// The change of the value counts to the next row's band that does not
/// involve the own row (the row leaving at the top out, the row entering
/// at the bottom in), a few columns after each serial step: the serial
/// step neither reads nor writes the counts, and its chain leaves the
/// processor room for other work beside it. (With the own row's originals
/// out as well it was slower, the processor then busy; see
/// docs/performance.md.)
struct BandSpread {
  WindowCounts::Spreader spreader;
  WindowCounts::ColumnOrder order;
  const BYTE* from;
  const BYTE* to;

  void Step() {
    if (!order.Done()) WindowCounts::LeaveAndEnter(spreader, from, to, order.Next());
  }
};

/// The serial step for m = M (1 … 4) on a row counted once. The lists of
/// the next M pixels wait in a ring of 8-byte slots (pixel x in slot
/// (x − first) mod M), each holding ranks 0 … M of its set so far; a
/// result is put into all of them at once (shift, max, min), so only those
/// three operations and a byte broadcast lie between one result and the
/// next.
template <int M>
ZENTREL_MEDIAN_WIDE void StepRing(const RowContext& row, BYTE* pixels, const BYTE* rRanks,
                                  BandSpread& bandSpread) {
  const NoiseWindow& win = *row.win;
  const std::ptrdiff_t first = win.FirstX();  // = M
  const std::ptrdiff_t end = win.EndX();
  // Pixel first + s has the band samples s … M − 2 in before its first step.
  alignas(16) BYTE start[32] = {};
  for (int s = 0; s < M; ++s) {
    BYTE* slot = start + 8 * s;
    std::memcpy(slot, rRanks + s * kRingStride, M + 1);
    for (int c = s; c <= M - 2; ++c) Insert(slot, M, pixels[c]);
  }
  __m128i low = _mm_load_si128(reinterpret_cast<const __m128i*>(start));
  __m128i high = _mm_load_si128(reinterpret_cast<const __m128i*>(start + 16));
  __m128i previous = _mm_set1_epi8(static_cast<char>(pixels[first - 1]));
  BandSpread band = bandSpread;  // a local copy, whose fields the stores cannot change
  const BYTE* ahead = rRanks + M * kRingStride;
  std::ptrdiff_t x = first;
  for (; x + M <= end; x += M, ahead += M * kRingStride) {
    RingStep<M, 0>(low, high, previous, pixels + x, ahead);
    if constexpr (M > 1) RingStep<M, 1>(low, high, previous, pixels + x + 1, ahead + kRingStride);
    if constexpr (M > 2)
      RingStep<M, 2>(low, high, previous, pixels + x + 2, ahead + 2 * kRingStride);
    if constexpr (M > 3)
      RingStep<M, 3>(low, high, previous, pixels + x + 3, ahead + 3 * kRingStride);
    for (int k = 0; k < M; ++k) band.Step();
  }
  if (x < end) RingStep<M, 0>(low, high, previous, pixels + x, ahead);
  if constexpr (M > 1)
    if (x + 1 < end) RingStep<M, 1>(low, high, previous, pixels + x + 1, ahead + kRingStride);
  if constexpr (M > 2)
    if (x + 2 < end) RingStep<M, 2>(low, high, previous, pixels + x + 2, ahead + 2 * kRingStride);
  bandSpread.order = band.order;
}

#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
/// PrepareRanksWidest for the row's window width.
ZENTREL_MEDIAN_WIDEST void PrepareRanksWidestFor(const RowContext& row, std::ptrdiff_t x0,
                                                 std::ptrdiff_t length, BYTE* ranks,
                                                 bool& fromTop) {
  switch (row.win->w) {
    case 1:
      return PrepareRanksWidest<1>(row, x0, length, ranks, fromTop);
    case 2:
      return PrepareRanksWidest<2>(row, x0, length, ranks, fromTop);
    case 3:
      return PrepareRanksWidest<3>(row, x0, length, ranks, fromTop);
    case 4:
      return PrepareRanksWidest<4>(row, x0, length, ranks, fromTop);
    case 5:
      return PrepareRanksWidest<5>(row, x0, length, ranks, fromTop);
    case 6:
      return PrepareRanksWidest<6>(row, x0, length, ranks, fromTop);
    case 7:
      return PrepareRanksWidest<7>(row, x0, length, ranks, fromTop);
    case 8:
      return PrepareRanksWidest<8>(row, x0, length, ranks, fromTop);
    case 9:
      return PrepareRanksWidest<9>(row, x0, length, ranks, fromTop);
    default:
      return PrepareRanksWidest<10>(row, x0, length, ranks, fromTop);
  }
}
#endif

/// PrepareRanksWide for the row's window width (or the 64-lane counting
/// where the row asks for it).
ZENTREL_MEDIAN_WIDE void PrepareRanksFor(const RowContext& row, std::ptrdiff_t x0,
                                         std::ptrdiff_t length, BYTE* ranks, bool& fromTop) {
#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
  if (row.lanes64) return PrepareRanksWidestFor(row, x0, length, ranks, fromTop);
#endif
  switch (row.win->w) {
    case 1:
      return PrepareRanksWide<1>(row, x0, length, ranks, fromTop);
    case 2:
      return PrepareRanksWide<2>(row, x0, length, ranks, fromTop);
    case 3:
      return PrepareRanksWide<3>(row, x0, length, ranks, fromTop);
    case 4:
      return PrepareRanksWide<4>(row, x0, length, ranks, fromTop);
    case 5:
      return PrepareRanksWide<5>(row, x0, length, ranks, fromTop);
    case 6:
      return PrepareRanksWide<6>(row, x0, length, ranks, fromTop);
    case 7:
      return PrepareRanksWide<7>(row, x0, length, ranks, fromTop);
    case 8:
      return PrepareRanksWide<8>(row, x0, length, ranks, fromTop);
    case 9:
      return PrepareRanksWide<9>(row, x0, length, ranks, fromTop);
    default:
      return PrepareRanksWide<10>(row, x0, length, ranks, fromTop);
  }
}

/// R's ranks 0 … 7 of 16 pixels from the block rows (one row per rank) to
/// 8-byte records, one per pixel (rows past m read as 0).
ZENTREL_MEDIAN_WIDE_INLINE void PackRecords(const BYTE* ranks, int m, BYTE* records) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = i <= m ? Load16(ranks + i * kBlock) : _mm_setzero_si128();
  __m128i a[8], b[8];
  for (int i = 0; i < 4; ++i) {  // pairs of ranks, 8 pixels each
    a[2 * i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
    a[2 * i + 1] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
  }
  for (int h = 0; h < 2; ++h) {  // quads of ranks, 4 pixels each
    b[4 * h] = _mm_unpacklo_epi16(a[h], a[h + 2]);
    b[4 * h + 1] = _mm_unpackhi_epi16(a[h], a[h + 2]);
    b[4 * h + 2] = _mm_unpacklo_epi16(a[h + 4], a[h + 6]);
    b[4 * h + 3] = _mm_unpackhi_epi16(a[h + 4], a[h + 6]);
  }
  for (int q = 0; q < 4; ++q) {  // whole records, 2 pixels each
    const __m128i& lowRanks = b[(q / 2) * 4 + q % 2];
    const __m128i& highRanks = b[(q / 2) * 4 + 2 + q % 2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(records + 32 * q),
                     _mm_unpacklo_epi32(lowRanks, highRanks));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(records + 32 * q + 16),
                     _mm_unpackhi_epi32(lowRanks, highRanks));
  }
}

/// A row counted once with m = hw ≤ 4, in 32-byte and 16-byte lanes: the
/// ranks, R's ranks as 8-byte records (kRingStride), then the ring.
ZENTREL_MEDIAN_WIDE void FilterRowWide(const RowContext& row, BYTE* pixels, BYTE* rRanks,
                                       BYTE* ranks, BandSpread& band) {
  const NoiseWindow& win = *row.win;
  bool fromTop = true;
  for (std::ptrdiff_t x0 = win.FirstX(); x0 < win.EndX(); x0 += kBlock) {
    const std::ptrdiff_t length = std::min(kBlock, win.EndX() - x0);
    PrepareRanksFor(row, x0, length, ranks, fromTop);
    BYTE* records = rRanks + (x0 - win.FirstX()) * kRingStride;
    for (std::ptrdiff_t j = 0; j < length; j += 16)
      PackRecords(ranks + j, row.m, records + j * kRingStride);
  }
  switch (row.m) {
    case 0:
      for (std::ptrdiff_t x = win.FirstX(); x < win.EndX(); ++x)
        pixels[x] = rRanks[(x - win.FirstX()) * kRingStride];
      break;
    case 1:
      StepRing<1>(row, pixels, rRanks, band);
      break;
    case 2:
      StepRing<2>(row, pixels, rRanks, band);
      break;
    case 3:
      StepRing<3>(row, pixels, rRanks, band);
      break;
    default:
      StepRing<4>(row, pixels, rRanks, band);
      break;
  }
}

/// Filters one row, its column histograms standing for its window rows.
void FilterRow(const RowContext& row, BYTE* pixels, BYTE* rRanks, BYTE* ranks) {
  const NoiseWindow& win = *row.win;
  SlidingCounts counts;
  StartRow(counts, row);
  for (std::ptrdiff_t x0 = win.FirstX(); x0 < win.EndX(); x0 += kBlock) {
    const std::ptrdiff_t length = std::min(kBlock, win.EndX() - x0);
    PrepareRanks(counts, row, x0, length, ranks);
    TakeOutLeftSamples(row, x0, length, ranks);
    BYTE* out = rRanks + (x0 - win.FirstX()) * kRankStride;
    for (std::ptrdiff_t j = 0; j < length; ++j)
      for (int i = 0; i <= row.m; ++i) out[j * kRankStride + i] = ranks[i * kBlock + j];
  }
  StepRow(row, pixels, rRanks);
}

/// Whether moving the column histograms from the window rows of row y to
/// those of row y + 1 (the rows y − hh … y − hh + H, clamped, are the only
/// ones either holds) is one row leaving and one entering, and which.
bool OneRowChanges(const NoiseWindow& win, std::ptrdiff_t y, int change[11], int& leaving,
                   int& entering) {
  const std::ptrdiff_t top = y - win.hh;
  for (int r = 0; r < win.h; ++r) {
    --change[win.ClampRow(top + r) - top];
    ++change[win.ClampRow(top + 1 + r) - top];
  }
  int changed = 0;
  for (int i = 0; i <= win.h; ++i) {
    if (change[i] == 0) continue;
    ++changed;
    if (change[i] == -1) leaving = i;
    if (change[i] == 1) entering = i;
  }
  return changed == 2 && leaving >= 0 && entering >= 0;
}

/// Moves the column histograms from the window rows of row y to those of
/// row y + 1.
void MoveBand(WindowCounts& columns, const NoiseWindow& win, std::ptrdiff_t y) {
  int change[11] = {};
  int leaving = -1, entering = -1;
  const std::ptrdiff_t top = y - win.hh;
  // Mostly one row leaves and one enters: that is the leaving row's
  // samples replaced by the entering row's, column by column.
  if (OneRowChanges(win, y, change, leaving, entering)) {
    columns.ReplaceRow(win.Row(top + leaving), win.Row(top + entering), 1);
    return;
  }
  for (int i = 0; i <= win.h; ++i)
    if (change[i] != 0) columns.AddRow(win.Row(top + i), change[i]);
}

/// The runs (value >> 4) of 32 samples.
ZENTREL_MEDIAN_WIDE_INLINE __m256i RunsOf(const BYTE* samples) {
  return _mm256_and_si256(_mm256_srli_epi16(Load32(samples), 4), _mm256_set1_epi8(0x0F));
}

#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
#if !defined(__clang__)  // a warning of GCC alone
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
/// The run counts' part of ReplaceTwoRows 64 columns a step, as far as
/// whole steps go; returns the first column left.
ZENTREL_MEDIAN_WIDEST std::size_t ReplaceRunsWidest(WindowCounts& columns, std::size_t width,
                                                    const BYTE* from1, const BYTE* to1,
                                                    const BYTE* from2, const BYTE* to2) {
  const __m512i low4 = _mm512_set1_epi8(0x0F);
  const __m512i one = _mm512_set1_epi8(1);
  std::size_t c = 0;
  for (; c + 64 <= width; c += 64) {
    const __m512i gone1 = _mm512_and_si512(_mm512_srli_epi16(Load64(from1 + c), 4), low4);
    const __m512i gone2 = _mm512_and_si512(_mm512_srli_epi16(Load64(from2 + c), 4), low4);
    const __m512i come1 = _mm512_and_si512(_mm512_srli_epi16(Load64(to1 + c), 4), low4);
    const __m512i come2 = _mm512_and_si512(_mm512_srli_epi16(Load64(to2 + c), 4), low4);
    const int lowest =
        ReduceMin64(_mm512_min_epu8(_mm512_min_epu8(gone1, gone2), _mm512_min_epu8(come1, come2)));
    const int highest =
        ReduceMax64(_mm512_max_epu8(_mm512_max_epu8(gone1, gone2), _mm512_max_epu8(come1, come2)));
    for (int k = lowest; k <= highest; ++k) {
      const __m512i run = _mm512_set1_epi8(static_cast<char>(k));
      BYTE* counts = columns.CoarseToChange(k) + c;
      __m512i sum = Load64(counts);
      sum = _mm512_mask_sub_epi8(sum, _mm512_cmpeq_epi8_mask(gone1, run), sum, one);
      sum = _mm512_mask_sub_epi8(sum, _mm512_cmpeq_epi8_mask(gone2, run), sum, one);
      sum = _mm512_mask_add_epi8(sum, _mm512_cmpeq_epi8_mask(come1, run), sum, one);
      sum = _mm512_mask_add_epi8(sum, _mm512_cmpeq_epi8_mask(come2, run), sum, one);
      _mm512_storeu_si512(counts, sum);
    }
  }
  return c;
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

/// Two rows counted once each changed, from1 to to1 and from2 to to2: the
/// counts of the values sample by sample, those of the runs 32 columns a
/// step for every run the samples there meet (four compares a run, instead
/// of four scattered read-modify-writes a column).
ZENTREL_MEDIAN_WIDE void ReplaceTwoRows(WindowCounts& columns, std::size_t width, const BYTE* from1,
                                        const BYTE* to1, const BYTE* from2, const BYTE* to2,
                                        WindowCounts::ColumnOrder& done, bool lanes64) {
  columns.FinishReplaceFine(done, from1, to1, from2, to2);
  std::size_t c = 0;
#if defined(ZENTREL_MEDIAN_HAVE_AVX512)
  if (lanes64) c = ReplaceRunsWidest(columns, width, from1, to1, from2, to2);
#endif
  for (; c + 32 <= width; c += 32) {
    const __m256i gone1 = RunsOf(from1 + c);
    const __m256i gone2 = RunsOf(from2 + c);
    const __m256i come1 = RunsOf(to1 + c);
    const __m256i come2 = RunsOf(to2 + c);
    // Only runs between the lowest and the highest of these samples change.
    const int lowest =
        ReduceMin(_mm256_min_epu8(_mm256_min_epu8(gone1, gone2), _mm256_min_epu8(come1, come2)));
    const int highest =
        ReduceMax(_mm256_max_epu8(_mm256_max_epu8(gone1, gone2), _mm256_max_epu8(come1, come2)));
    for (int k = lowest; k <= highest; ++k) {
      const __m256i run = _mm256_set1_epi8(static_cast<char>(k));
      // Each equal compare gives −1: minus the samples leaving run k, and
      // minus those entering it.
      const __m256i gone =
          _mm256_add_epi8(_mm256_cmpeq_epi8(gone1, run), _mm256_cmpeq_epi8(gone2, run));
      const __m256i come =
          _mm256_add_epi8(_mm256_cmpeq_epi8(come1, run), _mm256_cmpeq_epi8(come2, run));
      BYTE* counts = columns.CoarseToChange(k) + c;
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(counts),
                          _mm256_add_epi8(Load32(counts), _mm256_sub_epi8(gone, come)));
    }
  }
  for (; c < width; ++c) {
    BYTE* a = columns.CoarseToChange(from1[c] >> 4) + c;
    *a = static_cast<BYTE>(*a - 1);
    BYTE* b = columns.CoarseToChange(to1[c] >> 4) + c;
    *b = static_cast<BYTE>(*b + 1);
    BYTE* d = columns.CoarseToChange(from2[c] >> 4) + c;
    *d = static_cast<BYTE>(*d - 1);
    BYTE* e = columns.CoarseToChange(to2[c] >> 4) + c;
    *e = static_cast<BYTE>(*e + 1);
  }
  columns.RepeatLastColumn();
}

}  // namespace

bool RunWindowMedian(const NoiseWindow& win, MedianLanes widest) {
  if (widest == MedianLanes::kChosen) {
#if defined(ZENTREL_CLEANUP_PORTABLE)
    widest = MedianLanes::kNone;  // the loops only for a caller that names them
#else
    widest = MedianLanes::kAvx512;
#endif
  }
  if (widest == MedianLanes::kNone || !__builtin_cpu_supports("avx2")) return false;
  const bool lanes64 = widest == MedianLanes::kAvx512 && IsAvx512Available();
  const std::size_t width = static_cast<std::size_t>(win.width);
  // About 290 bytes a column and up to 280 KB more; a row wider than this
  // cannot be held anyway.
  if (width > (SIZE_MAX >> 10)) return false;
  const std::size_t histogramBytes = WindowCounts::Bytes(width);
  const std::size_t rRankBytes = (width + kRankPadding) * kRankStride;
  const std::size_t blockBytes = kMaxRanks * static_cast<std::size_t>(kBlock);
  // The original row has 64 bytes of padding for the 64-pixel steps, the
  // block rows 32 for the 32-pixel ones (the 64-pixel ones stay inside).
  const std::size_t originalBytes = width + 64;
  ScratchBuffer scratch =
      AllocateScratch(histogramBytes + originalBytes + rRankBytes + blockBytes + 32);
  if (!scratch) return false;
  BYTE* const original = scratch.get() + histogramBytes;
  BYTE* const rRanks = original + originalBytes;
  BYTE* const ranks = rRanks + rRankBytes;
  std::memset(original + width, 0, 64);
  std::memset(rRanks, 0, rRankBytes + blockBytes + 32);
  WindowCounts columns(scratch.get(), width, win.w, win.hw);
  for (int r = 0; r < win.h; ++r)
    columns.AddRow(win.Row(win.ClampRow(win.FirstY() - win.hh + r)), 1);

  const int t = (win.Samples() - 1) / 2;
  for (std::ptrdiff_t y = win.FirstY(); y < win.EndY(); ++y) {
    BYTE* const pixels = win.Row(y);
    std::memcpy(original, pixels, width);
    const int mult = win.RowMultiplicity(y);
    const int m = win.hw * mult;
    const RowContext row{&win, &columns, original, t - m, 2 * m + 1, m, mult, lanes64};
    const bool lastRow = y + 1 >= win.EndY();
    int change[11] = {};
    int leaving = -1, entering = -1;
    const std::ptrdiff_t top = y - win.hh;
    const bool oneRow = !lastRow && mult == 1 && OneRowChanges(win, y, change, leaving, entering);
    const BYTE* const leavingRow = oneRow ? win.Row(top + leaving) : nullptr;
    const BYTE* const enteringRow = oneRow ? win.Row(top + entering) : nullptr;
    // In windows of one or two rows the row leaving is the own row, whose
    // results the serial step is writing: its change waits for the row.
    const bool early = oneRow && top + leaving != y;
    BandSpread band{columns.GetSpreader(), WindowCounts::ColumnOrder(early ? width : 0), leavingRow,
                    enteringRow};
    if (mult == 1)
      FilterRowWide(row, pixels, rRanks, ranks, band);
    else
      FilterRow(row, pixels, rRanks, ranks);  // the last row of a two-row window
    if (!lastRow) {
      if (oneRow) {
        WindowCounts::ColumnOrder done = early ? band.order : WindowCounts::ColumnOrder(width);
        ReplaceTwoRows(columns, width, original, pixels, leavingRow, enteringRow, done, lanes64);
      } else {
        columns.ReplaceRow(original, pixels, mult);
        MoveBand(columns, win, y);
      }
    }
  }
  return true;
}

}  // namespace zentrel::detail::cleanup

#else

namespace zentrel::detail::cleanup {

bool RunWindowMedian(const NoiseWindow&, MedianLanes) { return false; }

}  // namespace zentrel::detail::cleanup

#endif
