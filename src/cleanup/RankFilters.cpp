// The rank-based noise filters (mean of the k nearest values, median),
// computed from a histogram of the window that slides along each row and is
// corrected for every value the pass writes, so that it always counts the
// window's samples as they stand when the pixel is reached.
#include <cstdint>

#include "cleanup/NoiseWindow.h"

namespace cleanup {
namespace {

/// The samples of the windows along one image row, with their histogram.
class SlidingWindow {
 public:
  SlidingWindow(const NoiseWindow& win, std::ptrdiff_t y) : m_win(win) {
    for (int r = 0; r < win.h; ++r) m_rows[r] = win.Row(win.ClampRow(y - win.hh + r));
    for (int& count : m_histogram) count = 0;
    for (int r = 0; r < win.h; ++r)
      for (int c = 0; c < win.w; ++c)
        ++m_histogram[m_rows[r][win.ClampColumn(win.FirstX() - win.hw + c)]];
  }

  const int* Histogram() const { return m_histogram; }
  int Count(int value) const { return m_histogram[value]; }

  /// Moves the window from pixel x to pixel x + 1: column x − hw leaves,
  /// column x + 1 − hw + W − 1 (clamped) enters.
  void Slide(std::ptrdiff_t x) {
    const std::ptrdiff_t leaving = x - m_win.hw;
    const std::ptrdiff_t entering = m_win.ClampColumn(x + 1 - m_win.hw + m_win.w - 1);
    for (int r = 0; r < m_win.h; ++r) {
      --m_histogram[m_rows[r][leaving]];
      ++m_histogram[m_rows[r][entering]];
    }
  }

  /// Replaces count samples of value from by value to.
  void Replace(int from, int to, int count) {
    m_histogram[from] -= count;
    m_histogram[to] += count;
  }

  /// Sum of the first `take` samples in reading order (top row first, each
  /// row left to right) whose value is a or b, in the window of pixel x.
  int SumFirstOf(std::ptrdiff_t x, int a, int b, int take) const {
    int sum = 0;
    for (int r = 0; r < m_win.h; ++r) {
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
};

/// Tracks the sample at a fixed rank of the sorted window: the value m with
/// below = the number of samples < m, below ≤ rank < below + count(m).
class RankTracker {
 public:
  RankTracker(const SlidingWindow& window, int rank) : m_window(window), m_rank(rank) { Settle(); }
  void Added(int value) { m_below += value < m_value ? 1 : 0; }
  void Removed(int value) { m_below -= value < m_value ? 1 : 0; }
  void Replaced(int from, int to, int count) {
    m_below += ((to < m_value ? 1 : 0) - (from < m_value ? 1 : 0)) * count;
  }
  int Value() {
    Settle();
    return m_value;
  }

 private:
  void Settle() {
    while (m_below > m_rank) m_below -= m_window.Count(--m_value);
    while (m_below + m_window.Count(m_value) <= m_rank) m_below += m_window.Count(m_value++);
  }

  const SlidingWindow& m_window;
  int m_rank;
  int m_value = 0;
  int m_below = 0;
};

/// The mean of the k samples nearest to v. Samples are taken by distance
/// |s − v|; where k cuts between the two values at the same distance
/// (v − d and v + d), those earlier in reading order are taken first, as a
/// stable sort of the window by distance gives.
int NearestValuesMean(const SlidingWindow& window, std::ptrdiff_t x, int v, int k,
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
    const int multiplicity = win.RowMultiplicity(y);
    SlidingWindow window(win, y);
    const std::ptrdiff_t endX = win.EndX();
    for (std::ptrdiff_t x = win.FirstX();; ++x) {
      const int v = row[x];
      const int result = NearestValuesMean(window, x, v, k, divideByK);
      if (result != v) {
        row[x] = static_cast<BYTE>(result);
        window.Replace(v, result, multiplicity);
      }
      if (x + 1 >= endX) break;
      window.Slide(x);
    }
  }
}

void MedianFilter(const NoiseWindow& win) {
  const int rank = (win.Samples() - 1) / 2;  // the lower middle for even counts
  for (std::ptrdiff_t y = win.FirstY(); y < win.EndY(); ++y) {
    BYTE* row = win.Row(y);
    const int multiplicity = win.RowMultiplicity(y);
    SlidingWindow window(win, y);
    RankTracker median(window, rank);
    const std::ptrdiff_t endX = win.EndX();
    for (std::ptrdiff_t x = win.FirstX();; ++x) {
      const int v = row[x];
      const int result = median.Value();
      if (result != v) {
        row[x] = static_cast<BYTE>(result);
        window.Replace(v, result, multiplicity);
        median.Replaced(v, result, multiplicity);
      }
      if (x + 1 >= endX) break;
      // Slide, telling the tracker about each sample that leaves or enters.
      const std::ptrdiff_t leaving = x - win.hw;
      const std::ptrdiff_t entering = win.ClampColumn(x + 1 - win.hw + win.w - 1);
      for (int r = 0; r < win.h; ++r) {
        const BYTE* source = win.Row(win.ClampRow(y - win.hh + r));
        median.Removed(source[leaving]);
        median.Added(source[entering]);
      }
      window.Slide(x);
    }
  }
}

}  // namespace

void RunRankFilter(const NoiseWindow& window, int k, int type) {
  if (type == 2)
    NearestValuesFilter(window, k);
  else
    MedianFilter(window);
}

}  // namespace cleanup
