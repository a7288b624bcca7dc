// The rank-based noise filters (mean of the k nearest values, median),
// computed from a histogram of the window that slides along each row and is
// corrected for every value the pass writes, so that it always counts the
// window's samples as they stand when the pixel is reached. The 3 × 3
// windows, the common filters against isolated noisy pixels, have a path of
// their own on which only the previous result of the row is serial. The
// median of other windows runs in MedianWindow.cpp where the processor has
// AVX2, and the nearest-values mean of windows of few samples (of every
// window with AVX-512BW) in NearestWindow.cpp; the sliding histogram here
// serves the rest (and the median when MedianWindow.cpp finds no scratch
// memory).
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cleanup/MedianWindow.h"
#include "cleanup/NearestWindow.h"
#include "cleanup/NoiseWindow.h"

// Where GCC or Clang build for x86-64, the heaviest loops are also compiled
// for AVX2 and chosen at run time; ZENTREL_CLEANUP_PORTABLE (as the tests
// set it for a second copy) keeps to the portable loops.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(ZENTREL_CLEANUP_PORTABLE)
#define ZENTREL_CLEANUP_HAVE_AVX2 1
#define ZENTREL_CLEANUP_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define ZENTREL_CLEANUP_ALWAYS_INLINE inline
#endif

namespace zentrel::detail::cleanup {
namespace {

/// The samples of the windows along one image row, with their histogram;
/// with RowCounts also a histogram of each window row, which lets samples
/// be found in reading order a row at a time.
template <bool RowCounts>
class SlidingWindow {
 public:
  SlidingWindow(const NoiseWindow& win, std::ptrdiff_t y) : m_win(win) {
    for (int r = 0; r < win.h; ++r) m_rows[r] = win.Row(win.ClampRow(y - win.hh + r));
    std::fill(m_histogram, m_histogram + 256, 0);
    if constexpr (RowCounts) std::memset(m_rowHistogram, 0, sizeof m_rowHistogram);
    m_ownRows = 0;
    for (int r = 0; r < win.h; ++r) {
      if (win.ClampRow(y - win.hh + r) == y) m_ownRow[m_ownRows++] = r;
      for (int c = 0; c < win.w; ++c) {
        const int s = m_rows[r][win.ClampColumn(win.FirstX() - win.hw + c)];
        ++m_histogram[s];
        if constexpr (RowCounts) ++m_rowHistogram[r][s];
      }
    }
  }

  int Count(int value) const { return m_histogram[value]; }

  /// Moves the window from pixel x to pixel x + 1: column x − hw leaves,
  /// column x + 1 − hw + W − 1 (clamped) enters. moved(out, in) hears of
  /// each pair of samples.
  template <class Observer>
  void Slide(std::ptrdiff_t x, Observer&& moved) {
    const std::ptrdiff_t leaving = x - m_win.hw;
    const std::ptrdiff_t entering = m_win.ClampColumn(x + 1 - m_win.hw + m_win.w - 1);
    for (int r = 0; r < m_win.h; ++r) {
      const int out = m_rows[r][leaving];
      const int in = m_rows[r][entering];
      --m_histogram[out];
      ++m_histogram[in];
      if constexpr (RowCounts) {
        --m_rowHistogram[r][out];
        ++m_rowHistogram[r][in];
      }
      moved(out, in);
    }
  }

  /// The pixel of the image row being filtered turns from value from to
  /// value to; it takes part in the window once per window row that is
  /// that image row (twice where an even window's clamped extra row is).
  void Replace(int from, int to) {
    m_histogram[from] -= m_ownRows;
    m_histogram[to] += m_ownRows;
    if constexpr (RowCounts) {
      for (int i = 0; i < m_ownRows; ++i) {
        --m_rowHistogram[m_ownRow[i]][from];
        ++m_rowHistogram[m_ownRow[i]][to];
      }
    }
  }

  int OwnRows() const { return m_ownRows; }

  /// Sum of the first `take` samples in reading order (top row first, each
  /// row left to right) whose value is a or b, in the window of pixel x.
  /// Whole rows are counted from their histograms; only the row where the
  /// count is reached is looked at sample by sample.
  int SumFirstOf(std::ptrdiff_t x, int a, int b, int take) const {
    int sum = 0;
    for (int r = 0; r < m_win.h; ++r) {
      if constexpr (RowCounts) {
        const int countA = m_rowHistogram[r][a];
        const int countB = m_rowHistogram[r][b];
        if (countA + countB < take) {
          sum += countA * a + countB * b;
          take -= countA + countB;
          continue;
        }
      }
      for (int c = 0; c < m_win.w; ++c) {
        const int s = m_rows[r][m_win.ClampColumn(x - m_win.hw + c)];
        if (s != a && s != b) continue;
        sum += s;
        if (--take == 0) return sum;
      }
    }
    return sum;
  }

 private:
  const NoiseWindow& m_win;
  const BYTE* m_rows[10];
  int m_histogram[256];
  // Counts per window row (at most 10 samples each).
  BYTE m_rowHistogram[RowCounts ? 10 : 1][256];
  int m_ownRow[10];
  int m_ownRows;
};

/// Tracks the sample at a fixed rank of the sorted window: the value m with
/// below = the number of samples < m, below ≤ rank < below + count(m).
class RankTracker {
 public:
  RankTracker(const SlidingWindow<false>& window, int rank) : m_window(window), m_rank(rank) {}
  void Moved(int out, int in) { m_below += (in < m_value ? 1 : 0) - (out < m_value ? 1 : 0); }
  void Replaced(int from, int to, int count) {
    m_below += count * (to < m_value ? 1 : 0) - count * (from < m_value ? 1 : 0);
  }
  int Value() {
    while (m_below > m_rank) m_below -= m_window.Count(--m_value);
    while (m_below + m_window.Count(m_value) <= m_rank) m_below += m_window.Count(m_value++);
    return m_value;
  }

 private:
  const SlidingWindow<false>& m_window;
  int m_rank;
  int m_value = 0;
  int m_below = 0;
};

/// The mean of the k samples nearest to v. Samples are taken by distance
/// |s − v|; where k cuts between the two values at the same distance
/// (v − d and v + d), those earlier in reading order are taken first, as a
/// stable sort of the window by distance gives.
int NearestValuesMean(const SlidingWindow<true>& window, std::ptrdiff_t x, int v, int k,
                      const ExactDivider& divideByK) {
  int taken = window.Count(v);
  if (taken >= k) return v;
  int sum = taken * v;
  for (int d = 1;; ++d) {
    const int low = v - d;
    const int high = v + d;
    const int lowCount = low >= 0 ? window.Count(low) : 0;
    const int highCount = high <= 255 ? window.Count(high) : 0;
    const int wanted = k - taken;
    if (lowCount + highCount < wanted) {
      sum += lowCount * low + highCount * high;
      taken += lowCount + highCount;
      continue;
    }
    if (highCount == 0) {
      sum += wanted * low;
    } else if (lowCount == 0) {
      sum += wanted * high;
    } else if (lowCount + highCount == wanted) {
      sum += lowCount * low + highCount * high;
    } else {
      sum += window.SumFirstOf(x, low, high, wanted);
    }
    return divideByK(sum);
  }
}

void NearestValuesFilter(const NoiseWindow& win, int k) {
  const ExactDivider divideByK(static_cast<std::uint32_t>(k));
  for (std::ptrdiff_t y = win.FirstY(); y < win.EndY(); ++y) {
    BYTE* row = win.Row(y);
    SlidingWindow<true> window(win, y);
    for (std::ptrdiff_t x = win.FirstX();; ++x) {
      const int v = row[x];
      const int result = NearestValuesMean(window, x, v, k, divideByK);
      if (result != v) {
        row[x] = static_cast<BYTE>(result);
        window.Replace(v, result);
      }
      if (x + 1 >= win.EndX()) break;
      window.Slide(x, [](int, int) {});
    }
  }
}

void MedianFilter(const NoiseWindow& win) {
  const int rank = (win.Samples() - 1) / 2;  // the lower middle for even counts
  for (std::ptrdiff_t y = win.FirstY(); y < win.EndY(); ++y) {
    BYTE* row = win.Row(y);
    SlidingWindow<false> window(win, y);
    const int multiplicity = window.OwnRows();
    RankTracker median(window, rank);
    for (std::ptrdiff_t x = win.FirstX();; ++x) {
      const int v = row[x];
      const int result = median.Value();
      if (result != v) {
        row[x] = static_cast<BYTE>(result);
        window.Replace(v, result);
        median.Replaced(v, result, multiplicity);
      }
      if (x + 1 >= win.EndX()) break;
      window.Slide(x, [&median](int out, int in) { median.Moved(out, in); });
    }
  }
}

/// Runs a 3 × 3 rank filter whose result depends on the pass's own writes
/// only through the previous result of the row (the window's left sample of
/// the own row). Kernel::Prepare works out everything else for a block of
/// pixels ahead; Kernel::Step takes the previous result to the next. The
/// serial steps of two rows run side by side: row y + 1 trails row y by two
/// blocks, far enough that the part of row y its windows read is final,
/// while row y still reads row y + 1 before any of it is written.
template <class Kernel>
void RunTwoRowsAtATime(const NoiseWindow& win, const Kernel& kernel) {
  constexpr std::ptrdiff_t kBlock = Kernel::kBlock;
  const std::ptrdiff_t pixels = win.width - 2;  // columns 1 .. width − 2
  const std::ptrdiff_t blocks = (pixels + kBlock - 1) / kBlock;
  typename Kernel::Block first, second;
  auto prepare = [&](typename Kernel::Block& block, std::ptrdiff_t y, std::ptrdiff_t b) {
    const std::ptrdiff_t start = 1 + b * kBlock;
    const std::ptrdiff_t length = std::min(kBlock, pixels - b * kBlock);
    kernel.Prepare(block, win.Row(y - 1) + start, win.Row(y) + start, win.Row(y + 1) + start,
                   length);
    return length;
  };
  for (std::ptrdiff_t y = 1; y + 1 < win.height; y += 2) {
    const bool pair = y + 2 < win.height;  // row y + 1 is filtered too
    BYTE* const upper = win.Row(y) + 1;
    BYTE* const lower = pair ? win.Row(y + 1) + 1 : nullptr;
    int upperPrevious = upper[-1];
    int lowerPrevious = pair ? lower[-1] : 0;
    for (std::ptrdiff_t step = 0; step < blocks + (pair ? 2 : 0); ++step) {
      const std::ptrdiff_t upperLength = step < blocks ? prepare(first, y, step) : 0;
      const std::ptrdiff_t lowerLength = pair && step >= 2 ? prepare(second, y + 1, step - 2) : 0;
      BYTE* const upperOut = upperLength ? upper + step * kBlock : nullptr;
      BYTE* const lowerOut = lowerLength ? lower + (step - 2) * kBlock : nullptr;
      const std::ptrdiff_t both = std::min(upperLength, lowerLength);
      std::ptrdiff_t j = 0;
      for (; j < both; ++j) {
        upperPrevious = kernel.Step(first, j, upperPrevious);
        lowerPrevious = kernel.Step(second, j, lowerPrevious);
        upperOut[j] = static_cast<BYTE>(upperPrevious);
        lowerOut[j] = static_cast<BYTE>(lowerPrevious);
      }
      for (std::ptrdiff_t i = j; i < upperLength; ++i) {
        upperPrevious = kernel.Step(first, i, upperPrevious);
        upperOut[i] = static_cast<BYTE>(upperPrevious);
      }
      for (std::ptrdiff_t i = j; i < lowerLength; ++i) {
        lowerPrevious = kernel.Step(second, i, lowerPrevious);
        lowerOut[i] = static_cast<BYTE>(lowerPrevious);
      }
    }
  }
}

/// The 3 × 3 median. Of the nine samples only the left one of the own row
/// (the previous result r) was written in this pass; the other eight are
/// known ahead. With those eight sorted (o0 ≤ … ≤ o7), the median of all
/// nine is o3 when r ≤ o3, o4 when r ≥ o4 and r between them: r clamped to
/// [o3, o4].
class Median3x3 {
 public:
  static constexpr std::ptrdiff_t kBlock = 256;
  struct Block {
    BYTE lower[kBlock], upper[kBlock];
  };

  /// The fourth and fifth smallest of the eight samples other than the
  /// left one of the own row, through the odd-even merge sorting network of
  /// eight (its last comparators, which place neither, left out); the loop
  /// runs over pixels and vectorises.
  void Prepare(Block& block, const BYTE* above, const BYTE* row, const BYTE* below,
               std::ptrdiff_t length) const {
    for (std::ptrdiff_t j = 0; j < length; ++j) {
      BYTE v0 = above[j - 1], v1 = below[j - 1], v2 = above[j], v3 = row[j];
      BYTE v4 = below[j], v5 = above[j + 1], v6 = row[j + 1], v7 = below[j + 1];
      Order(v0, v1), Order(v2, v3), Order(v4, v5), Order(v6, v7);
      Order(v0, v2), Order(v1, v3), Order(v4, v6), Order(v5, v7);
      Order(v1, v2), Order(v5, v6);
      Order(v0, v4), Order(v1, v5), Order(v2, v6), Order(v3, v7);
      Order(v2, v4), Order(v3, v5);
      Order(v3, v4);
      block.lower[j] = v3;
      block.upper[j] = v4;
    }
  }

  static int Step(const Block& block, std::ptrdiff_t j, int previous) {
    const int raised = previous > block.lower[j] ? previous : block.lower[j];
    return raised < block.upper[j] ? raised : block.upper[j];
  }

 private:
  static void Order(BYTE& a, BYTE& b) {
    const BYTE low = a < b ? a : b;
    b = a < b ? b : a;
    a = low;
  }
};

/// The 3 × 3 mean of the k nearest values. Of the nine samples only the
/// left one of the own row, w (the previous result), was written in this
/// pass. The window's stable order by distance from the centre v is the
/// order of the keys |s − v| × 16 + i, i the sample's place in reading
/// order (w's is 3). With T the k-th smallest key of the other eight, S the
/// sum of their samples with a key below T and S' of those up to T, w is
/// among the k nearest exactly when its key is below T, that is when w lies
/// in a range of values around v; the result is then (w + S) / k, else
/// S' / k, which is worked out ahead with the range and S.
class Nearest3x3 {
 public:
  static constexpr std::ptrdiff_t kBlock = 256;
  struct Block {
    std::int16_t samples[8][kBlock], keys[8][kBlock], sorted[8][kBlock];
    std::int16_t values[kBlock], low[kBlock], span[kBlock];
    std::int16_t sumBelow[kBlock], meanWithout[kBlock];
  };

  explicit Nearest3x3(int k) : m_k(k), m_divideByK(static_cast<std::uint32_t>(k)) {
#if defined(ZENTREL_CLEANUP_HAVE_AVX2)
    m_wide = __builtin_cpu_supports("avx2");
#endif
  }

  /// Works a block in rows of one quantity across its pixels (the eight
  /// samples, their keys, each step of the sorting network), so that every
  /// loop runs over pixels and vectorises.
  void Prepare(Block& block, const BYTE* above, const BYTE* row, const BYTE* below,
               std::ptrdiff_t length) const {
#if defined(ZENTREL_CLEANUP_HAVE_AVX2)
    if (m_wide) {
      PrepareWide(block, above, row, below, length);
      return;
    }
#endif
    PrepareBlock(block, above, row, below, length);
  }

  /// w is among the k nearest when low ≤ w < low + span. Both results are
  /// formed and one chosen by a mask: a branch would miss half the time.
  int Step(const Block& block, std::ptrdiff_t j, int previous) const {
    const bool taken =
        static_cast<unsigned>(previous - block.low[j]) < static_cast<unsigned>(block.span[j]);
    const int withLeft = m_divideByK(previous + block.sumBelow[j]);
    const int mask = -static_cast<int>(taken);
    return (withLeft & mask) | (block.meanWithout[j] & ~mask);
  }

 private:
#if defined(ZENTREL_CLEANUP_HAVE_AVX2)
  /// The same loops compiled for AVX2 (16 keys a step instead of 8).
  __attribute__((target("avx2"))) void PrepareWide(Block& block, const BYTE* above, const BYTE* row,
                                                   const BYTE* below, std::ptrdiff_t length) const {
    PrepareBlock(block, above, row, below, length);
  }
#endif

  ZENTREL_CLEANUP_ALWAYS_INLINE void PrepareBlock(Block& block, const BYTE* above, const BYTE* row,
                                                  const BYTE* below, std::ptrdiff_t length) const {
    const BYTE* const sources[8] = {above - 1, above, above + 1, row + 1,
                                    below - 1, below, below + 1, row};
    static constexpr int kPlaces[8] = {0, 1, 2, 5, 6, 7, 8, 4};
    for (int i = 0; i < 8; ++i) {
      const BYTE* source = sources[i];
      const std::int16_t place = static_cast<std::int16_t>(kPlaces[i]);
      for (std::ptrdiff_t j = 0; j < length; ++j) {
        const std::int16_t s = source[j], v = row[j];
        block.samples[i][j] = s;
        block.keys[i][j] = static_cast<std::int16_t>((s < v ? v - s : s - v) * 16 + place);
        block.sorted[i][j] = block.keys[i][j];
      }
    }
    for (std::ptrdiff_t j = 0; j < length; ++j) block.values[j] = row[j];
    // The odd-even merge sorting network of eight.
    static constexpr int kNetwork[19][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3}, {4, 6},
                                            {5, 7}, {1, 2}, {5, 6}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
                                            {2, 4}, {3, 5}, {1, 2}, {3, 4}, {5, 6}};
    for (const auto& pair : kNetwork) {
      std::int16_t* a = block.sorted[pair[0]];
      std::int16_t* b = block.sorted[pair[1]];
      for (std::ptrdiff_t j = 0; j < length; ++j) {
        const std::int16_t low = a[j] < b[j] ? a[j] : b[j];
        b[j] = a[j] < b[j] ? b[j] : a[j];
        a[j] = low;
      }
    }
    const std::int16_t* cut = block.sorted[m_k - 1];
    for (std::ptrdiff_t j = 0; j < length; ++j) {
      const std::int16_t c = cut[j];
      std::int16_t below = 0, upTo = 0;
      for (int i = 0; i < 8; ++i) {
        const std::int16_t key = block.keys[i][j], sample = block.samples[i][j];
        below = static_cast<std::int16_t>(below + (key < c ? sample : 0));
        upTo = static_cast<std::int16_t>(upTo + (key <= c ? sample : 0));
      }
      // w's key |w − v| × 16 + 3 is below c when |w − v| < reach, which
      // holds for w in v − reach + 1 .. v + reach − 1.
      const std::int16_t reach = static_cast<std::int16_t>(c > 3 ? (c + 12) / 16 : 0);
      block.low[j] = static_cast<std::int16_t>(block.values[j] - reach + 1);
      block.span[j] = static_cast<std::int16_t>(reach > 0 ? 2 * reach - 1 : 0);
      block.sumBelow[j] = below;
      block.meanWithout[j] = static_cast<std::int16_t>(m_divideByK(upTo));
    }
  }

  int m_k;
  ExactDivider m_divideByK;
  [[maybe_unused]] bool m_wide = false;  // AVX2 is there (never in the portable build)
};

}  // namespace

void RunRankFilter(const NoiseWindow& window, int k, int type) {
  const bool threeByThree = window.w == 3 && window.h == 3;
  if (type == 2) {
    if (threeByThree)
      RunTwoRowsAtATime(window, Nearest3x3(k));
    else if (!RunNearestWindow(window, k))
      NearestValuesFilter(window, k);  // the windows the sorted remainder does not serve
  } else if (threeByThree) {
    RunTwoRowsAtATime(window, Median3x3());
  } else if (!RunWindowMedian(window)) {
    MedianFilter(window);  // median-without-scratch: the sliding histogram needs no memory
  }
}

}  // namespace zentrel::detail::cleanup
