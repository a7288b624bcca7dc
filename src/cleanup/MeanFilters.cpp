// The window-mean noise filters (mean, outlier mean, contrast raising).
//
// In place, every pixel's window holds the values already written to its
// left, so along a row each result depends on the one before: a serial chain
// through a division. To keep the processor busy the rows are filtered as a
// wavefront: each row trails the row above by two chunks of pixels, far
// enough that everything it reads from the rows above is final, and the
// chains of many rows run side by side (in SIMD lanes where available).
//
// Per row y the window sum is split into the samples of the other window
// rows, kept per column in `others` (converted from row y − 1's state when a
// column first enters row y's windows), and the samples of row y itself,
// which the serial step corrects for the values it writes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "cleanup/MeanLanes.h"
#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {
namespace {

/// Outlier mean: a pixel takes the mean only when it differs from it by
/// more than this (strictly).
constexpr int kOutlierLimit = 20;
/// Pixels per chunk, and the chunks by which each row trails the row above.
/// A row converts and reads columns up to kChunk + W − hw − 1 past the start
/// of its chunk, and the row above has written everything before the start
/// of its own chunk, kChunkLag × kChunk further right: so kChunkLag × kChunk
/// ≥ kChunk + W − hw (W ≤ 10) keeps each row on final values. Within one
/// step of the wavefront the rows then touch disjoint data.
constexpr std::ptrdiff_t kChunk = 128;
constexpr std::ptrdiff_t kChunkLag = 2;
static_assert(kChunkLag * kChunk >= kChunk + 10, "rows must trail far enough");
static_assert(kChunk % 8 == 0, "chunks are transposed in blocks of eight");

#if defined(ZENTREL_CLEANUP_HAVE_LANES)
static_assert(kChunk <= kLaneMaxLength, "a chunk must fit the lanes' buffers");
constexpr int kMaxLaneRegisters = 3;
constexpr int kGroupRows = kMaxLaneRegisters * kLaneCount;
#else
constexpr int kGroupRows = 1;
#endif

template <int Type>
inline int FilteredValue(int v, int mean) {
  if (Type == 0) return mean;
  if (Type == 1) return (mean - v > kOutlierLimit || v - mean > kOutlierLimit) ? mean : v;
  // Contrast raising stores 2v − m limited to 0..255; wrapping the low
  // eight bits would turn bright pixels dark.
  const int raised = 2 * v - mean;
  return raised < 0 ? 0 : (raised > 255 ? 255 : raised);
}

/// One row of the wavefront.
struct WaveRow {
  BYTE* own;                 // the row's samples
  const BYTE* above;         // row y − 1 (final where this row converts)
  const BYTE* entering;      // the window row that row y has and row y − 1 lacks
  const BYTE* leaving;       // the window row that row y − 1 has and row y lacks
  std::ptrdiff_t converted;  // columns [0, converted) of `others` are in this row's state
  std::int32_t sum;          // window sum of the next pixel to filter
  std::ptrdiff_t begin;      // the current chunk: pixels [begin, end)
  std::ptrdiff_t end;
};

/// Scratch of the wavefront, allocated once per call.
struct WaveScratch {
  std::unique_ptr<std::int16_t[]> others;  // one entry per column
  std::unique_ptr<WaveRow[]> rows;         // ring of the rows in flight
  std::unique_ptr<std::int16_t[]> steps;   // (kGroupRows + 1) × kChunk
  std::ptrdiff_t ringSize = 0;

  bool Allocate(std::ptrdiff_t width, std::ptrdiff_t chunks) {
    // Rows in flight at once: one per kChunkLag chunks of the row, plus one.
    ringSize = chunks / kChunkLag + 2;
    others.reset(new (std::nothrow) std::int16_t[static_cast<std::size_t>(width)]);
    rows.reset(new (std::nothrow) WaveRow[static_cast<std::size_t>(ringSize)]);
    steps.reset(new (std::nothrow) std::int16_t[(kGroupRows + 1) * kChunk]);
    return others && rows && steps;
  }
};

template <int Type>
class MeanWavefront {
 public:
  MeanWavefront(const NoiseWindow& win, WaveScratch& scratch)
      : m_win(win),
        m_others(scratch.others.get()),
        m_rows(scratch.rows.get()),
        m_steps(scratch.steps.get()),
        m_ringSize(scratch.ringSize),
        m_divide(static_cast<std::uint32_t>(win.Samples()))
#if defined(ZENTREL_CLEANUP_HAVE_LANES)
        ,
        m_laneDivide(win.Samples())
#endif
  {
  }

  /// Filters rows [FirstY, endY).
  void Run(std::ptrdiff_t endY) {
    const std::ptrdiff_t rowCount = endY - m_win.FirstY();
    if (rowCount <= 0) return;
    const std::ptrdiff_t chunks = (m_win.EndX() - m_win.FirstX() + kChunk - 1) / kChunk;
    InitialiseOthers();

    // Rows with a whole chunk go in groups; their steps sit side by side in
    // m_steps. A row's shorter last chunk uses the slot after them.
    WaveRow* group[kGroupRows];
    std::int16_t* const singleSteps = m_steps + kGroupRows * kChunk;
    for (std::ptrdiff_t t = 0; t < kChunkLag * (rowCount - 1) + chunks; ++t) {
      // Row i works on chunk t − kChunkLag·i while that lies in the row.
      const std::ptrdiff_t first = t < chunks ? 0 : (t - chunks + kChunkLag) / kChunkLag;
      const std::ptrdiff_t last = std::min(t / kChunkLag, rowCount - 1);
      int members = 0;
      for (std::ptrdiff_t i = first; i <= last; ++i) {
        WaveRow& row = m_rows[i % m_ringSize];
        const std::ptrdiff_t chunk = t - kChunkLag * i;
        if (chunk == 0) StartRow(row, i);
        row.begin = m_win.FirstX() + chunk * kChunk;
        row.end = std::min(row.begin + kChunk, m_win.EndX());
        if (row.end - row.begin < kChunk) {
          PrepareChunk(row, chunk == 0, singleSteps);
          FilterChunk(row, singleSteps);
          continue;
        }
        PrepareChunk(row, chunk == 0, m_steps + members * kChunk);
        group[members++] = &row;
        if (members == kGroupRows) {
          FilterGroup(group, members);
          members = 0;
        }
      }
      if (members > 0) FilterGroup(group, members);
    }
  }

 private:
  /// `others` for the first filtered row: its window rows except one
  /// occurrence of the row itself.
  void InitialiseOthers() {
    const std::ptrdiff_t y = m_win.FirstY();
    std::fill(m_others, m_others + m_win.width, std::int16_t{0});
    for (int r = 0; r < m_win.h; ++r) {
      if (r == m_win.hh) continue;
      const BYTE* source = m_win.Row(m_win.ClampRow(y - m_win.hh + r));
      for (std::ptrdiff_t c = 0; c < m_win.width; ++c)
        m_others[c] = static_cast<std::int16_t>(m_others[c] + source[c]);
    }
  }

  void StartRow(WaveRow& row, std::ptrdiff_t index) {
    const std::ptrdiff_t y = m_win.FirstY() + index;
    row.own = m_win.Row(y);
    if (index == 0) {
      row.above = row.entering = row.leaving = row.own;
      row.converted = m_win.width;  // InitialiseOthers made this row's state
    } else {
      row.above = m_win.Row(y - 1);
      row.entering = m_win.Row(m_win.ClampRow(y - m_win.hh + m_win.h - 1));
      row.leaving = m_win.Row(y - 1 - m_win.hh);
      row.converted = 0;
    }
  }

  /// Brings the columns the chunk's windows reach into this row's state and
  /// works out the sliding steps (and, on the row's first chunk, the first
  /// window sum).
  void PrepareChunk(WaveRow& row, bool firstChunk, std::int16_t* steps) {
    const NoiseWindow& win = m_win;
    const std::ptrdiff_t reach = std::min(win.width, row.end + win.w - win.hw);
    std::int16_t* others = m_others;
    for (std::ptrdiff_t c = row.converted; c < reach; ++c)
      others[c] = static_cast<std::int16_t>(others[c] + row.above[c] - row.own[c] +
                                            row.entering[c] - row.leaving[c]);
    row.converted = std::max(row.converted, reach);

    if (firstChunk) {
      std::int32_t sum = 0;
      for (int c = 0; c < win.w; ++c) {
        const std::ptrdiff_t column = win.ClampColumn(win.FirstX() - win.hw + c);
        sum += others[column] + row.own[column];
      }
      row.sum = sum;
    }
    // Sliding from x to x + 1, column x − hw leaves and column x − hw + W
    // enters (the clamped edge column for an even window's last pixel).
    // Own-row values are those before the chunk is filtered; the serial step
    // adds the difference its writes make.
    const std::ptrdiff_t length = row.end - row.begin;
    const std::ptrdiff_t in = row.begin + win.w - win.hw;
    const std::ptrdiff_t out = row.begin - win.hw;
    const std::ptrdiff_t unclamped = std::max<std::ptrdiff_t>(0, std::min(length, win.width - in));
    const BYTE* own = row.own;
    std::ptrdiff_t j = 0;
    for (; j < unclamped; ++j)
      steps[j] = static_cast<std::int16_t>(others[in + j] + own[in + j] - others[out + j] -
                                           own[row.begin + j]);
    const std::ptrdiff_t edge = win.width - 1;
    for (; j < length; ++j)
      steps[j] = static_cast<std::int16_t>(others[edge] + own[edge] - others[out + j] -
                                           own[row.begin + j]);
  }

  /// The serial step for one row's chunk.
  void FilterChunk(WaveRow& row, const std::int16_t* steps) {
    BYTE* own = row.own + row.begin;
    const std::ptrdiff_t length = row.end - row.begin;
    const std::ptrdiff_t hw = m_win.hw;
    std::int32_t sum = row.sum;
    for (std::ptrdiff_t j = 0; j < length; ++j) {
      const int v = own[j];
      const int result = FilteredValue<Type>(v, m_divide(sum));
      own[j] = static_cast<BYTE>(result);
      // The window loses the sample hw to the left (already written; this
      // pixel itself when hw = 0) and gains this pixel's written value in
      // place of v.
      sum += steps[j] + result - own[j - hw];
    }
    row.sum = sum;
  }

  /// The serial step for the whole chunks of count rows (count ≤ kGroupRows),
  /// whose steps are at m_steps + l × kChunk.
  void FilterGroup(WaveRow* const* rows, int count) {
#if defined(ZENTREL_CLEANUP_HAVE_LANES)
    // As few registers as hold the rows: idle lanes cost as much as busy ones.
    const int registers = (count + kLaneCount - 1) / kLaneCount;
    if (registers == 1)
      FilterInLanes<1>(rows, count);
    else if (registers == 2)
      FilterInLanes<2>(rows, count);
    else
      FilterInLanes<3>(rows, count);
#else
    for (int l = 0; l < count; ++l) FilterChunk(*rows[l], m_steps + l * kChunk);
#endif
  }

#if defined(ZENTREL_CLEANUP_HAVE_LANES)
  template <int Registers>
  void FilterInLanes(WaveRow* const* rows, int count) {
    LaneGroup<Registers * kLaneCount> group;
    group.steps = m_steps;
    group.stepStride = kChunk;
    for (int l = 0; l < Registers * kLaneCount; ++l) {
      if (l < count) {
        group.pixels[l] = rows[l]->own + rows[l]->begin;
        group.sums[l] = rows[l]->sum;
      } else {
        // An idle lane: zero sum, steps and samples give zero results, so
        // its scratch row stays zero.
        std::memset(m_steps + l * kChunk, 0, kChunk * sizeof(std::int16_t));
        group.pixels[l] = m_idle + kIdleMargin;
        group.sums[l] = 0;
      }
    }
    FilterLanes<Type, Registers>(group, kChunk, m_win.hw, m_laneDivide);
    for (int l = 0; l < count; ++l) rows[l]->sum = group.sums[l];
  }

  static constexpr std::ptrdiff_t kIdleMargin = 8;  // room for the hw samples to the left
  alignas(16) BYTE m_idle[kIdleMargin + kChunk] = {};
#endif

  const NoiseWindow& m_win;
  std::int16_t* m_others;
  WaveRow* m_rows;
  std::int16_t* m_steps;
  std::ptrdiff_t m_ringSize;
  ExactDivider m_divide;
#if defined(ZENTREL_CLEANUP_HAVE_LANES)
  LaneDivider m_laneDivide;
#endif
};

/// One row straight through, with column sums made from the image as it
/// stands. Used for the last row of a two-row window, which holds its own
/// samples twice.
template <int Type>
void FilterRowDirect(const NoiseWindow& win, std::ptrdiff_t y, std::int16_t* columnSums) {
  std::fill(columnSums, columnSums + win.width, std::int16_t{0});
  for (int r = 0; r < win.h; ++r) {
    const BYTE* source = win.Row(win.ClampRow(y - win.hh + r));
    for (std::ptrdiff_t c = 0; c < win.width; ++c)
      columnSums[c] = static_cast<std::int16_t>(columnSums[c] + source[c]);
  }
  const ExactDivider divide(static_cast<std::uint32_t>(win.Samples()));
  const int multiplicity = win.RowMultiplicity(y);
  BYTE* row = win.Row(y);
  std::int32_t sum = 0;
  for (int c = 0; c < win.w; ++c) sum += columnSums[win.ClampColumn(win.FirstX() - win.hw + c)];
  for (std::ptrdiff_t x = win.FirstX();; ++x) {
    const int v = row[x];
    const int result = FilteredValue<Type>(v, divide(sum));
    // The written value replaces v in this column's sum, and in the window
    // sum, where column x counts once for every x before the row's end.
    const int delta = (result - v) * multiplicity;
    row[x] = static_cast<BYTE>(result);
    columnSums[x] = static_cast<std::int16_t>(columnSums[x] + delta);
    sum += delta;
    if (x + 1 >= win.EndX()) break;
    sum += columnSums[win.ClampColumn(x + 1 - win.hw + win.w - 1)] - columnSums[x - win.hw];
  }
}

template <int Type>
void Filter(const NoiseWindow& win, WaveScratch& scratch) {
  // Every row but possibly the last holds its own samples once.
  std::ptrdiff_t waveEnd = win.EndY();
  if (win.RowMultiplicity(waveEnd - 1) != 1) --waveEnd;
  MeanWavefront<Type>(win, scratch).Run(waveEnd);
  for (std::ptrdiff_t y = waveEnd; y < win.EndY(); ++y)
    FilterRowDirect<Type>(win, y, scratch.others.get());
}

}  // namespace

bool RunMeanFilter(const NoiseWindow& window, int type) {
  // A one-sample window is its own mean: every type leaves the pixel as it
  // is.
  if (window.Samples() == 1) return true;
  const std::ptrdiff_t chunks = (window.EndX() - window.FirstX() + kChunk - 1) / kChunk;
  // mean-filter-scratch: the scratch is taken before any pixel is written;
  // refused, the call fails with the image unchanged rather than reporting
  // an unfiltered image as filtered.
  WaveScratch scratch;
  if (!scratch.Allocate(window.width, chunks)) return false;
  switch (type) {
    case 0:
      Filter<0>(window, scratch);
      break;
    case 1:
      Filter<1>(window, scratch);
      break;
    default:
      Filter<4>(window, scratch);
      break;
  }
  return true;
}

}  // namespace zentrel::detail::cleanup
