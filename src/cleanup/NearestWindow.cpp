// The mean of the k nearest values (noise filter type 2) for windows other
// than 3 × 3, with the part that waits for the row's own results cut down to
// a short step per pixel.
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
// ahead for a block of pixels, from a histogram of R that slides along the
// row: for each count c of written samples ahead of a written sample, the
// farthest distance at which it is still among the k nearest, and the sums
// of R's first k − j samples (j = 0 .. m). The serial step per pixel places
// the m written samples against those distances and picks the sum.
#include "cleanup/NearestWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// Where GCC or Clang build for x86-64, the walk over the histogram is also
// compiled for AVX2 and chosen at run time; ZENTREL_CLEANUP_PORTABLE (as the
// tests set it for a second copy) keeps to the portable loop.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(ZENTREL_CLEANUP_PORTABLE)
#define ZENTREL_NEAREST_HAVE_AVX2 1
#define ZENTREL_NEAREST_ALWAYS_INLINE __attribute__((always_inline)) inline
#include <immintrin.h>
#else
#define ZENTREL_NEAREST_ALWAYS_INLINE inline
#endif

namespace zentrel::detail::cleanup {
namespace {

constexpr int kMaxWritten = 4;  // hw of a window up to 10 wide
constexpr std::ptrdiff_t kBlock = 256;
// Zero bins on either side of 0 .. 255, so that a vector step of the walk
// may read past either end.
constexpr int kMargin = 16;

/// What the serial step needs for a block of pixels.
struct Plan {
  /// reach[c][i]: a written sample that c written samples precede in the
  /// sorted order is among the k nearest of pixel i exactly when its
  /// distance to v is at most reach (−1: never).
  std::int16_t reach[kMaxWritten][kBlock];
  /// sums[j][i]: the sum of R's first k − j samples in the sorted order.
  std::int16_t sums[kMaxWritten + 1][kBlock];
};

/// Where R's t-th sample (counted from 1) lies in the sorted order.
struct Cut {
  int distance;  // its distance to v
  int nearer;    // R's samples nearer than that
  int sum;       // and their sum
};

/// The image rows of the windows of one image row, grouped as R takes them.
struct WindowRows {
  const BYTE* above[10];  // rows y − hh .. y − 1, final
  int aboveCount;
  const BYTE* own;  // row y: from the pixel on, still as it was
  const BYTE* below[10];  // rows y + 1 .. y − hh + H − 1 (clamped), not yet filtered
  int belowCount;
};

/// The histogram of R(x) (and of its rows above) for the pixels of one row,
/// and the questions the plan asks of it.
class RemainderCounts {
 public:
  RemainderCounts(const NoiseWindow& win, int k, bool wide)
      : m_win(win), m_k(k), m_size(win.Samples() - win.hw), m_wide(wide) {
    std::memset(m_all, 0, sizeof m_all);
  }

  /// The histograms of R for the first pixel of the row.
  void Start(const WindowRows& rows) {
    m_rows = rows;
    std::memset(m_above, 0, sizeof m_above);
    std::memset(Counts(), 0, 256);
    BYTE* const all = Counts();
    for (int c = 0; c < m_win.w; ++c) {
      const std::ptrdiff_t column = m_win.ClampColumn(c);
      for (int r = 0; r < rows.aboveCount; ++r) {
        ++all[rows.above[r][column]];
        ++m_above[rows.above[r][column]];
      }
      for (int r = 0; r < rows.belowCount; ++r) ++all[rows.below[r][column]];
      if (c >= m_win.hw) ++all[rows.own[column]];
    }
  }

  /// Moves R from pixel x to pixel x + 1: column x − hw leaves the rows
  /// above and below, column x − hw + W (clamped) enters them; the own
  /// row's sample at x leaves, the one at x − hw + W enters.
  void Slide(std::ptrdiff_t x) {
    BYTE* const all = Counts();
    const std::ptrdiff_t out = x - m_win.hw;
    const std::ptrdiff_t in = m_win.ClampColumn(x - m_win.hw + m_win.w);
    for (int r = 0; r < m_rows.aboveCount; ++r) {
      const BYTE* row = m_rows.above[r];
      --all[row[out]];
      ++all[row[in]];
      --m_above[row[out]];
      ++m_above[row[in]];
    }
    for (int r = 0; r < m_rows.belowCount; ++r) {
      const BYTE* row = m_rows.below[r];
      --all[row[out]];
      ++all[row[in]];
    }
    --all[m_rows.own[x]];
    ++all[m_rows.own[in]];
  }

  /// Fills the plan of pixel i of a block at x (the histograms hold R(x)).
  void PlanPixel(Plan& plan, std::ptrdiff_t i, std::ptrdiff_t x) const {
    const int v = m_rows.own[x];
    const int m = m_win.hw;
    // Ranks k − m .. k; those at 0 or below and past R's size need no cut.
    const int first = std::max(m_k - m, 1);
    const int last = std::min(m_k, m_size);
    Cut cuts[kMaxWritten + 1];
    if (first <= last) Walk(v, first, last, cuts + (first - (m_k - m)));
    for (int j = 0; j <= m; ++j) {
      const int t = m_k - j;
      const Cut* cut = cuts + (m - j);
      int sum = 0;
      int reach = t <= 0 ? -1 : 255;
      if (t > 0 && t <= m_size) {
        sum = cut->sum + SumAtCut(x, v, *cut, t - cut->nearer);
        reach = cut->distance - (cut->nearer + AboveAt(v, cut->distance) < t ? 0 : 1);
      }
      plan.sums[j][i] = static_cast<std::int16_t>(sum);
      if (j < m) plan.reach[j][i] = static_cast<std::int16_t>(reach);
    }
  }

 private:
  BYTE* Counts() { return m_all + kMargin; }
  const BYTE* Counts() const { return m_all + kMargin; }

  /// Count of R's samples at distance d from v: v − d and v + d.
  int AllAt(int v, int d) const {
    const BYTE* all = Counts();
    return d == 0 ? all[v] : all[v - d] + all[v + d];
  }
  int AboveAt(int v, int d) const {
    const int low = v - d >= 0 ? m_above[v - d] : 0;
    const int high = d > 0 && v + d <= 255 ? m_above[v + d] : 0;
    return low + high;
  }

  /// The cuts of ranks first .. last (1 ≤ first ≤ last ≤ R's size) by a
  /// walk outward from v.
  void Walk(int v, int first, int last, Cut* cuts) const {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if (m_wide) {
      WalkWide(v, first, last, cuts);
      return;
    }
#endif
    const BYTE* all = Counts();
    int count = 0;
    int sum = 0;
    int t = first;
    for (int d = 0;; ++d) {
      const int low = d > 0 && v - d >= 0 ? all[v - d] : 0;
      const int high = v + d <= 255 ? all[v + d] : 0;
      const int here = low + high;
      for (; t <= last && t <= count + here; ++t, ++cuts) *cuts = Cut{d, count, sum};
      if (t > last) return;
      count += here;
      sum += low * (v - d) + high * (v + d);
    }
  }

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  __attribute__((target("avx2"))) void WalkWide(int v, int first, int last, Cut* cuts) const;
#endif

  /// The sum of the first `take` of R's samples at distance d from v
  /// (1 ≤ take ≤ their count): where both v − d and v + d are there and
  /// not all are taken, reading order decides.
  int SumAtCut(std::ptrdiff_t x, int v, const Cut& cut, int take) const {
    const int d = cut.distance;
    if (d == 0) return take * v;
    const BYTE* all = Counts();
    const int low = v - d >= 0 ? all[v - d] : 0;
    const int high = v + d <= 255 ? all[v + d] : 0;
    if (high == 0) return take * (v - d);
    if (low == 0) return take * (v + d);
    if (take == low + high) return low * (v - d) + high * (v + d);
    return take * (v - d) + 2 * d * HighAmongFirst(x, v - d, v + d, take);
  }

  /// How many of R's first `take` samples of value low or high, in reading
  /// order, are high.
  int HighAmongFirst(std::ptrdiff_t x, int low, int high, int take) const {
    const std::ptrdiff_t left = x - m_win.hw;
    const std::ptrdiff_t right = m_win.ClampColumn(left + m_win.w - 1);
    int seen = 0;
    int highs = 0;
    // Samples of row from column `from` through the window's last column.
    auto scan = [&](const BYTE* row, std::ptrdiff_t from) {
      for (std::ptrdiff_t c = from; c < left + m_win.w; ++c) {
        const int s = row[c < right ? c : right];
        if (s != low && s != high) continue;
        highs += s == high ? 1 : 0;
        if (++seen == take) return true;
      }
      return false;
    };
    for (int r = 0; r < m_rows.aboveCount; ++r)
      if (scan(m_rows.above[r], left)) return highs;
    if (scan(m_rows.own, x)) return highs;
    for (int r = 0; r < m_rows.belowCount; ++r)
      if (scan(m_rows.below[r], left)) return highs;
    return highs;
  }

  const NoiseWindow& m_win;
  int m_k;
  int m_size;  // R's samples: W × H − hw
  bool m_wide;
  WindowRows m_rows{};
  BYTE m_all[kMargin + 256 + kMargin];
  BYTE m_above[256];
};

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
/// The walk sixteen distances a step: the bins above v and those below it
/// (reversed) are added, and running totals over the step, of the counts
/// and of the sums, find every cut in it at once. A sum of the step is
/// v × count + Σ (high − low) × distance, which stays within 16 bits.
__attribute__((target("avx2"))) void RemainderCounts::WalkWide(int v, int first, int last,
                                                               Cut* cuts) const {
  const BYTE* all = Counts();
  const __m128i reverse = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m256i lanes16 = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  // Broadcasts word 7 of each 128-bit half.
  const __m256i lastWord = _mm256_set1_epi16(0x0F0E);
  int count = 0;
  int sum = 0;
  int t = first;
  for (int base = 0;; base += 16) {
    // Bins v + base .. v + base + 15 and v − base .. v − base − 15; outside
    // 0 .. 255 they read the zero margin or are left at zero.
    __m128i high = _mm_setzero_si128();
    __m128i low = _mm_setzero_si128();
    if (v + base <= 255) {
      high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(all + v + base));
    }
    if (v - base >= 0) {
      low = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(all + v - base - 15)), reverse);
    }
    if (base == 0) low = _mm_slli_si128(_mm_srli_si128(low, 1), 1);  // distance 0 counts once
    __m128i running = _mm_add_epi8(low, high);
    running = _mm_add_epi8(running, _mm_slli_si128(running, 1));
    running = _mm_add_epi8(running, _mm_slli_si128(running, 2));
    running = _mm_add_epi8(running, _mm_slli_si128(running, 4));
    running = _mm_add_epi8(running, _mm_slli_si128(running, 8));
    __m256i weighted = _mm256_mullo_epi16(
        _mm256_sub_epi16(_mm256_cvtepu8_epi16(high), _mm256_cvtepu8_epi16(low)),
        _mm256_add_epi16(lanes16, _mm256_set1_epi16(static_cast<short>(base))));
    weighted = _mm256_add_epi16(weighted, _mm256_slli_si256(weighted, 2));
    weighted = _mm256_add_epi16(weighted, _mm256_slli_si256(weighted, 4));
    weighted = _mm256_add_epi16(weighted, _mm256_slli_si256(weighted, 8));
    weighted = _mm256_add_epi16(
        weighted, _mm256_shuffle_epi8(_mm256_permute2x128_si256(weighted, weighted, 0x08), lastWord));
    alignas(16) BYTE counts[16];
    alignas(32) std::int16_t sums[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), running);
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), weighted);
    const int stepCount = counts[15];
    for (; t <= last; ++t, ++cuts) {
      // Distances of the step whose running count stays below t (counts
      // are at most 100, so the signed comparison is safe).
      const __m128i wanted = _mm_set1_epi8(static_cast<char>(t - count < 127 ? t - count : 127));
      const int below = __builtin_popcount(
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(wanted, running))));
      if (below == 16) break;
      const int nearer = below > 0 ? counts[below - 1] : 0;
      const int weight = below > 0 ? sums[below - 1] : 0;
      *cuts = Cut{base + below, count + nearer, sum + v * nearer + weight};
    }
    if (t > last) return;
    count += stepCount;
    sum += v * stepCount + sums[15];
  }
}
#endif

/// R's samples of a group of pixels sorted by a sorting network, one pixel
/// per lane: every step runs across the lanes and vectorises. A sample's
/// key (|s − v|, place in reading order, s < v) fits 16 bits and orders as
/// the stable sort does; its low bit and the distance give s back.
/// Batcher's odd–even merge sort over the next power of two, without the
/// comparators that only meet the padding after the last sample nor those
/// whose results the plan never reads (it reads the first k − m samples as
/// a sum, the next m one by one).
class SortedRemainder {
 public:
  static constexpr int kLanes = 32;
  static constexpr int kMaxSlots = 128;

  SortedRemainder(const NoiseWindow& win, int k, bool wide)
      : m_win(win), m_k(k), m_m(win.hw), m_size(win.Samples() - win.hw), m_wide(wide) {
    BuildSamples();
    BuildNetwork();
  }

  /// Fills the plan of the pixels x0 .. x0 + length − 1 of a block (plan
  /// index from `first`), length ≤ kLanes.
  void PlanGroup(Plan& plan, std::ptrdiff_t first, const WindowRows& rows, std::ptrdiff_t x0,
                 std::ptrdiff_t length) const {
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
    if (m_wide) {
      PlanGroupWide(plan, first, rows, x0, length);
      return;
    }
#endif
    PlanGroupLoops(plan, first, rows, x0, length);
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
      }
    }
  }

  void BuildNetwork() {
    int slots = 1;
    while (slots < m_size) slots *= 2;
    m_slots = slots;
    // Forward: a comparator whose upper wire still holds padding does
    // nothing; one whose lower wire does only swaps, which renaming the
    // wires does for free.
    int wire[kMaxSlots];
    bool padding[kMaxSlots];
    for (int i = 0; i < slots; ++i) {
      wire[i] = i;
      padding[i] = i >= m_size;
    }
    m_pairs = 0;
    for (int p = 1; p < slots; p *= 2) {
      for (int k = p; k >= 1; k /= 2) {
        for (int j = k % p; j + k < slots; j += 2 * k) {
          for (int i = 0; i < k && i + j + k < slots; ++i) {
            const int a = i + j;
            const int b = i + j + k;
            if ((a / (2 * p)) != (b / (2 * p))) continue;
            if (padding[b]) continue;
            if (padding[a]) {
              std::swap(wire[a], wire[b]);
              padding[a] = false;
              padding[b] = true;
              continue;
            }
            m_pair[m_pairs][0] = static_cast<BYTE>(wire[a]);
            m_pair[m_pairs][1] = static_cast<BYTE>(wire[b]);
            ++m_pairs;
          }
        }
      }
    }
    for (int i = 0; i < m_size; ++i) m_sorted[i] = static_cast<BYTE>(wire[i]);
    // Backward: what each slot must hold. 0 nothing, 1 one of the first
    // k − m (their sum is read), 2 its exact value.
    BYTE need[kMaxSlots] = {};
    for (int i = 0; i < m_size; ++i) {
      need[m_sorted[i]] = i < m_k - m_m ? 1 : (i < m_k ? 2 : 0);
    }
    int kept = 0;
    BYTE keptPair[kMaxPairs][2];
    for (int c = m_pairs - 1; c >= 0; --c) {
      const int a = m_pair[c][0];
      const int b = m_pair[c][1];
      if (need[a] == need[b] && need[a] < 2) continue;  // order among them unread
      need[a] = need[b] = 2;
      keptPair[kept][0] = static_cast<BYTE>(a);
      keptPair[kept][1] = static_cast<BYTE>(b);
      ++kept;
    }
    for (int c = 0; c < kept; ++c) {
      m_pair[c][0] = keptPair[kept - 1 - c][0];
      m_pair[c][1] = keptPair[kept - 1 - c][1];
    }
    m_pairs = kept;
  }

#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  /// The same loops compiled for AVX2 (sixteen keys a step instead of eight).
  __attribute__((target("avx2"))) void PlanGroupWide(Plan& plan, std::ptrdiff_t first,
                                                     const WindowRows& rows, std::ptrdiff_t x0,
                                                     std::ptrdiff_t length) const {
    PlanGroupLoops(plan, first, rows, x0, length);
  }
#endif

  ZENTREL_NEAREST_ALWAYS_INLINE void PlanGroupLoops(Plan& plan, std::ptrdiff_t first,
                                                    const WindowRows& rows, std::ptrdiff_t x0,
                                                    std::ptrdiff_t length) const {
    alignas(32) std::int16_t keys[kMaxSlots][kLanes];
    alignas(32) std::uint16_t values[kLanes];
    const BYTE* windowRows[10];
    for (int r = 0, a = 0, b = 0; r < m_win.h; ++r)
      windowRows[r] = r < m_win.hh ? rows.above[a++] : (r == m_win.hh ? rows.own : rows.below[b++]);
    // The last group of a row: its spare lanes repeat the last pixel, and
    // columns past the edge (even windows) read the edge column.
    const std::ptrdiff_t left = x0 - m_win.hw;
    const bool clamped = length < kLanes || left + kLanes - 1 + m_win.w - 1 >= m_win.width;
    if (!clamped) {
      for (int l = 0; l < kLanes; ++l) values[l] = rows.own[x0 + l];
      for (int n = 0; n < m_size; ++n) {
        const BYTE* source = windowRows[m_sampleRow[n]] + left + m_sampleColumn[n];
        const std::uint16_t place = static_cast<std::uint16_t>(m_samplePlace[n] * 2);
        for (int l = 0; l < kLanes; ++l) keys[n][l] = Key(source[l], values[l], place);
      }
    } else {
      for (int l = 0; l < kLanes; ++l)
        values[l] = rows.own[x0 + (l < length ? l : length - 1)];
      for (int n = 0; n < m_size; ++n) {
        const BYTE* source = windowRows[m_sampleRow[n]];
        const std::uint16_t place = static_cast<std::uint16_t>(m_samplePlace[n] * 2);
        for (int l = 0; l < kLanes; ++l) {
          const std::ptrdiff_t column =
              m_win.ClampColumn(left + (l < length ? l : length - 1) + m_sampleColumn[n]);
          keys[n][l] = Key(source[column], values[l], place);
        }
      }
    }
    for (int c = 0; c < m_pairs; ++c) Order(keys[m_pair[c][0]], keys[m_pair[c][1]]);
    // Sums of the first t samples: t × v + their signed distances.
    alignas(32) std::int16_t offsets[kLanes] = {};
    const int summed = std::min(std::max(m_k - m_m, 0), m_size);
    for (int i = 0; i < summed; ++i) {
      const std::int16_t* key = keys[m_sorted[i]];
      AddSigned(offsets, key);
    }
    for (int t = m_k - m_m; t <= m_k; ++t) {
      const int j = m_k - t;
      if (t > 0 && t > summed) {
        const std::int16_t* key = keys[m_sorted[t - 1]];
        if (t <= m_size) AddSigned(offsets, key);
      }
      std::int16_t* sums = plan.sums[j] + first;
      for (int l = 0; l < length; ++l)
        sums[l] = static_cast<std::int16_t>(t <= 0 || t > m_size ? 0 : t * values[l] + offsets[l]);
      if (j == m_m) continue;
      std::int16_t* reach = plan.reach[j] + first;
      if (t <= 0 || t > m_size) {
        for (int l = 0; l < length; ++l) reach[l] = static_cast<std::int16_t>(t <= 0 ? -1 : 255);
        continue;
      }
      // A written sample as far as the t-th sample comes before it when
      // that sample lies in the own row or below.
      const std::int16_t* key = keys[m_sorted[t - 1]];
      const int ownPlace = m_win.hh * m_win.w;
      for (int l = 0; l < length; ++l) {
        const int u = (key[l] ^ 0x8000) & 0xFFFF;
        reach[l] = static_cast<std::int16_t>((u >> 8) - (((u >> 1) & 127) < ownPlace ? 1 : 0));
      }
    }
  }

  // Keys and distances are worked in 16-bit lanes throughout, so that the
  // loops over lanes vectorise.
  static ZENTREL_NEAREST_ALWAYS_INLINE std::int16_t Key(std::uint16_t s, std::uint16_t v,
                                                        std::uint16_t place) {
    const std::uint16_t below = s < v ? 1 : 0;
    const std::uint16_t d = static_cast<std::uint16_t>(below ? v - s : s - v);
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>((d << 8) | place | below) ^ std::uint16_t{0x8000});
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
  /// Adds s − v of each lane's key to its total.
  static ZENTREL_NEAREST_ALWAYS_INLINE void AddSigned(std::int16_t* __restrict totals,
                                                      const std::int16_t* __restrict keys) {
    for (int l = 0; l < kLanes; ++l)
      totals[l] = static_cast<std::int16_t>(totals[l] + Signed(keys[l]));
  }
  /// s − v of a key.
  static ZENTREL_NEAREST_ALWAYS_INLINE std::int16_t Signed(std::int16_t key) {
    const std::uint16_t u = static_cast<std::uint16_t>(key) ^ std::uint16_t{0x8000};
    const std::int16_t d = static_cast<std::int16_t>(u >> 8);
    const std::int16_t negative = static_cast<std::int16_t>(-(u & 1));
    return static_cast<std::int16_t>((d ^ negative) - negative);
  }

  static constexpr int kMaxPairs = 1471;  // Batcher's network of 128

  const NoiseWindow& m_win;
  int m_k;
  int m_m;
  int m_size;
  bool m_wide;
  int m_slots = 0;
  int m_pairs = 0;
  BYTE m_sampleRow[100];
  BYTE m_sampleColumn[100];
  BYTE m_samplePlace[100];
  BYTE m_sorted[kMaxSlots];  // the slot holding each place of the sorted order
  BYTE m_pair[kMaxPairs][2];
};

/// The sum of the first q samples of R and N written samples (those at
/// `distance`, `value`, in reading order), given for q the reach of a
/// written sample with c written samples ahead of it (reach[c]) and R's sums
/// with j written samples taken (sums[j]). A written sample at distance e
/// with c ahead is taken when e ≤ reach[c]; as reach falls with c, that is
/// when c is below the number of reach values at or above e.
template <int N>
ZENTREL_NEAREST_ALWAYS_INLINE int MergedSum(const int* distance, const int* value,
                                            const int* reach, const int* sums) {
  int taken = 0;
  int sum = 0;
  for (int a = 0; a < N; ++a) {
    int ahead = 0;
    for (int b = 0; b < a; ++b) ahead += distance[b] <= distance[a] ? 1 : 0;
    for (int b = a + 1; b < N; ++b) ahead += distance[b] < distance[a] ? 1 : 0;
    int room = 0;
    for (int c = 0; c < N; ++c) room += distance[a] <= reach[c] ? 1 : 0;
    const int in = ahead < room ? 1 : 0;
    taken += in;
    sum += value[a] & -in;
  }
  int rest = sums[0];
  for (int j = 1; j <= N; ++j) rest = taken == j ? sums[j] : rest;
  return sum + rest;
}

/// The serial step with M written samples. Only the newest of them, r (the
/// previous result), waits on the chain: with O the M − 1 older ones, r is
/// among the k nearest exactly when its distance e is at most T, and the
/// mean is then (r + the first k − 1 of R and O) / k, else (the first k of
/// R and O) / k. T, the greatest e with e ≤ reach[number of O at or below
/// e], is the largest of min(reach[c], δ(c + 1) − 1), δ(c) the c-th
/// smallest distance of O (δ(M) past every distance).
template <int M>
void MergeWritten(const Plan& plan, BYTE* row, std::ptrdiff_t x0, std::ptrdiff_t length,
                  const ExactDivider& divideByK) {
  if constexpr (M == 0) {
    for (std::ptrdiff_t i = 0; i < length; ++i)
      row[x0 + i] = static_cast<BYTE>(divideByK(plan.sums[0][i]));
  } else {
    constexpr int N = M - 1;
    int written[M];
    for (int i = 0; i < M; ++i) written[i] = row[x0 - M + i];
    for (std::ptrdiff_t i = 0; i < length; ++i) {
      const int v = row[x0 + i];
      int reach[M];
      int sums[M + 1];
      for (int c = 0; c < M; ++c) reach[c] = plan.reach[c][i];
      for (int j = 0; j <= M; ++j) sums[j] = plan.sums[j][i];
      int distance[M];  // of O, then sorted
      int sorted[M];
      for (int a = 0; a < N; ++a) {
        distance[a] = written[a] < v ? v - written[a] : written[a] - v;
        sorted[a] = distance[a];
      }
      for (int a = 1; a < N; ++a)
        for (int b = a; b > 0; --b) {
          const int low = sorted[b - 1] < sorted[b] ? sorted[b - 1] : sorted[b];
          sorted[b] = sorted[b - 1] < sorted[b] ? sorted[b] : sorted[b - 1];
          sorted[b - 1] = low;
        }
      int reachOfNewest = reach[N];
      for (int c = 0; c < N; ++c) {
        const int bound = reach[c] < sorted[c] - 1 ? reach[c] : sorted[c] - 1;
        reachOfNewest = bound > reachOfNewest ? bound : reachOfNewest;
      }
      const int withNewest = MergedSum<N>(distance, written, reach + 1, sums + 1);
      const int withoutNewest = divideByK(MergedSum<N>(distance, written, reach, sums));
      const int r = written[M - 1];
      const int e = r < v ? v - r : r - v;
      const int with = divideByK(r + withNewest);
      const int result = e <= reachOfNewest ? with : withoutNewest;
      row[x0 + i] = static_cast<BYTE>(result);
      for (int a = 0; a + 1 < M; ++a) written[a] = written[a + 1];
      written[M - 1] = result;
    }
  }
}

void MergeBlock(int written, const Plan& plan, BYTE* row, std::ptrdiff_t x0,
                std::ptrdiff_t length, const ExactDivider& divideByK) {
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

void RunNearestWindow(const NoiseWindow& window, int k) {
  const ExactDivider divideByK(static_cast<std::uint32_t>(k));
  bool wide = false;
#if defined(ZENTREL_NEAREST_HAVE_AVX2)
  wide = __builtin_cpu_supports("avx2");
#endif
  RemainderCounts counts(window, k, wide);
  SortedRemainder sorted(window, k, wide);
  const bool sorting = true;
  Plan plan;
  for (std::ptrdiff_t y = window.FirstY(); y < window.EndY(); ++y) {
    WindowRows rows{};
    for (int r = 0; r < window.hh; ++r) rows.above[rows.aboveCount++] = window.Row(y - window.hh + r);
    rows.own = window.Row(y);
    bool ownTwice = false;
    for (int r = window.hh + 1; r < window.h; ++r) {
      const std::ptrdiff_t source = window.ClampRow(y - window.hh + r);
      ownTwice = ownTwice || source == y;
      rows.below[rows.belowCount++] = window.Row(source);
    }
    if (ownTwice) {
      FilterRowLiterally(window, y, k, divideByK);
      continue;
    }
    BYTE* const row = window.Row(y);
    if (!sorting) counts.Start(rows);
    for (std::ptrdiff_t x0 = window.FirstX(); x0 < window.EndX(); x0 += kBlock) {
      const std::ptrdiff_t length = std::min(kBlock, window.EndX() - x0);
      if (sorting) {
        for (std::ptrdiff_t i = 0; i < length; i += SortedRemainder::kLanes)
          sorted.PlanGroup(plan, i, rows, x0 + i, std::min<std::ptrdiff_t>(SortedRemainder::kLanes, length - i));
      } else {
        for (std::ptrdiff_t i = 0; i < length; ++i) {
          counts.PlanPixel(plan, i, x0 + i);
          if (x0 + i + 1 < window.EndX()) counts.Slide(x0 + i);
        }
      }
      MergeBlock(window.hw, plan, row, x0, length, divideByK);
    }
  }
}

}  // namespace zentrel::detail::cleanup
