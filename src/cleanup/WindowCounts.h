// Histograms of the W-wide windows of a band of image rows, stored value by
// value: for each of the 256 values a row of byte counts across the
// pixels (the samples of that value in the pixel's window columns), and
// for each of the 16 runs of 16 values a row of byte counts per column.
#ifndef ZENTREL_CLEANUP_WINDOWCOUNTS_H
#define ZENTREL_CLEANUP_WINDOWCOUNTS_H

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ZentrelPlatform.h"

namespace zentrel::detail::cleanup {

/// Counts live in caller-owned memory of Bytes(width) bytes; SSE2 (every
/// x86-64) spreads each sample over its windows. A count holds at most 255
/// samples; arithmetic on the counts is modulo 256, so a row may leave
/// before another enters.
///
/// The value counts are kept per pixel x: the samples of value v in
/// columns x − hw … x − hw + W − 1 (a column past the right edge reads the
/// edge column again), so that the counts of 32 neighbouring windows are
/// one 32-byte load. A sample entering or leaving changes W neighbouring
/// counts at once, one 16-byte add. Pixels from −kLead up to width + kSpare
/// may be read; those outside the filtered range hold partial windows.
///
/// The run counts are kept per column (column `width` repeats column
/// width − 1, the ones after it hold zeros), summed over the window by the
/// reader: they change for every sample, and one byte per sample costs
/// less there than W.
class WindowCounts {
 public:
  static constexpr int kValues = 256;
  static constexpr int kRuns = 16;  // runs of 16 values: run v >> 4
  static constexpr std::size_t kLead = 16;
  static constexpr std::size_t kSpare = 64;
  // Updates of one row go 32 columns apart in blocks of 512 (see
  // Interleaved); 16 and 64 apart were slower, by 3 to 6 %.
  static constexpr std::size_t kApart = 32;
  static constexpr std::size_t kBlockColumns = 512;

  /// The columns in the order Interleaved visits them, one at a time, for
  /// a caller that spreads a row's samples between other work.
  class ColumnOrder {
   public:
    explicit ColumnOrder(std::size_t width)
        : m_width(width), m_end(std::min(width, kBlockColumns)) {}
    bool Done() const { return m_column >= m_width; }
    /// The next column; requires !Done().
    std::size_t Next() {
      const std::size_t c = m_column;
      m_column += kApart;
      if (m_column >= m_end) {
        ++m_offset;
        if (m_offset == kApart || m_base + m_offset >= m_end) {
          m_base = m_end;
          m_end = std::min(m_width, m_base + kBlockColumns);
          m_offset = 0;
        }
        m_column = m_base + m_offset;
      }
      return c;
    }

   private:
    std::size_t m_width;
    std::size_t m_base = 0;
    std::size_t m_end;
    std::size_t m_offset = 0;
    std::size_t m_column = 0;
  };

  /// What spreading a sample over its windows needs, to be kept in
  /// registers by a caller that spreads between other work.
  struct Spreader {
    BYTE* fine;  // value 0's counts moved on to where column 0's spread starts
    std::size_t stride;
    __m128i plus;   // 1 in each of the first W bytes
    __m128i minus;  // −1 in each of the first W bytes
  };
  Spreader GetSpreader() const {
    return Spreader{m_fine + m_spreadOffset, m_stride, Delta(1), Delta(-1)};
  }

  /// The second row's change of FinishReplaceFine, from2 to to2, in
  /// column c (taken from a ColumnOrder of this width).
  static void LeaveAndEnter(const Spreader& s, const BYTE* from2, const BYTE* to2, std::size_t c) {
    Spread(s.fine, s.stride, from2[c], c, s.minus);
    Spread(s.fine, s.stride, to2[c], c, s.plus);
  }

  /// The distance between two values' rows: at least kLead + width +
  /// kSpare, a multiple of 64, chosen so that the same pixel of values up
  /// to 16 apart lies at least a few cache lines apart modulo 4096. The
  /// processor takes a load for one of an earlier store when the two
  /// addresses agree in their low 12 bits, and the updates of neighbouring
  /// values at nearby columns would otherwise often meet so (a row of 4080
  /// bytes took a tenth longer at 10 × 10 than the one chosen here, one of
  /// 4096 over half as long again).
  static std::size_t Stride(std::size_t width) {
    const std::size_t least = (kLead + width + kSpare + 63) / 64 * 64;
    std::size_t best = least;
    std::size_t bestDistance = 0;
    for (std::size_t stride = least; stride < least + 1024; stride += 64) {
      std::size_t distance = 4096;
      for (std::size_t apart = 1; apart <= 16; ++apart) {
        const std::size_t low = apart * stride % 4096;
        distance = std::min(distance, std::min(low, 4096 - low));
      }
      if (distance > bestDistance) {
        best = stride;
        bestDistance = distance;
      }
    }
    return best;
  }
  static std::size_t Bytes(std::size_t width) { return Stride(width) * (kValues + kRuns); }

  /// For windows of w (1 … 10) columns with hw = (w − 1) / 2.
  WindowCounts(BYTE* memory, std::size_t width, int w, int hw)
      : m_fine(memory),
        m_coarse(memory + Stride(width) * kValues + kLead),
        m_width(width),
        m_stride(Stride(width)),
        // Column c counts for the pixels c + hw − w + 1 … c + hw.
        m_spreadOffset(kLead + static_cast<std::size_t>(hw + 1) - static_cast<std::size_t>(w)),
        m_edgeRepeated(w - 1 - hw > hw),
        m_lanes(_mm_cmplt_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                               _mm_set1_epi8(static_cast<char>(w)))) {
    std::memset(memory, 0, Bytes(width));
  }

  /// The window counts of value v, by pixel.
  const BYTE* Fine(int v) const { return m_fine + static_cast<std::size_t>(v) * m_stride + kLead; }
  /// The counts of run k (values 16k … 16k + 15), by column.
  const BYTE* Coarse(int k) const { return m_coarse + static_cast<std::size_t>(k) * m_stride; }
  /// The same, to be changed by a caller that keeps them itself (with
  /// FinishReplaceFine), who then calls RepeatLastColumn.
  BYTE* CoarseToChange(int k) { return m_coarse + static_cast<std::size_t>(k) * m_stride; }

  /// Adds (times > 0) or removes (times < 0) a row's samples, |times| each.
  void AddRow(const BYTE* row, int times) {
    const __m128i delta = Delta(times);
    BYTE* const fine = m_fine + m_spreadOffset;
    const std::size_t stride = m_stride;
    Interleaved(
        [=](std::size_t sample, std::size_t c) { Spread(fine, stride, row[sample], c, delta); });
    const BYTE step = static_cast<BYTE>(times);
    for (std::size_t c = 0; c < m_width; ++c) {
      BYTE& run = m_coarse[(row[c] >> 4) * m_stride + c];
      run = static_cast<BYTE>(run + step);
    }
    RepeatLastColumn();
  }

  /// A row counted `times` times changed from `from` to `to`.
  void ReplaceRow(const BYTE* from, const BYTE* to, int times) {
    const __m128i delta = Delta(times);
    const __m128i undo = Delta(-times);
    BYTE* const fine = m_fine + m_spreadOffset;
    const std::size_t stride = m_stride;
    Interleaved([=](std::size_t sample, std::size_t c) {
      Spread(fine, stride, from[sample], c, undo);
      Spread(fine, stride, to[sample], c, delta);
    });
    const BYTE step = static_cast<BYTE>(times);
    for (std::size_t c = 0; c < m_width; ++c) {
      BYTE& gone = m_coarse[(from[c] >> 4) * m_stride + c];
      gone = static_cast<BYTE>(gone - step);
      BYTE& come = m_coarse[(to[c] >> 4) * m_stride + c];
      come = static_cast<BYTE>(come + step);
    }
    RepeatLastColumn();
  }

  /// Two rows counted once each changed, from1 to to1 and from2 to to2:
  /// the value counts only (the caller brings the run counts up to date and
  /// then calls RepeatLastColumn). The second row's change may already be
  /// spread for the columns `order` has given (LeaveAndEnter); the rest of
  /// it follows, then the first row's.
  void FinishReplaceFine(ColumnOrder& order, const BYTE* from1, const BYTE* to1, const BYTE* from2,
                         const BYTE* to2) {
    const Spreader s = GetSpreader();
    while (!order.Done()) LeaveAndEnter(s, from2, to2, order.Next());
    if (m_edgeRepeated && m_width > 0) {
      const std::size_t c = m_width - 1;
      Spread(s.fine, s.stride, from2[c], m_width, s.minus);
      Spread(s.fine, s.stride, to2[c], m_width, s.plus);
    }
    Interleaved([=](std::size_t sample, std::size_t c) {
      Spread(s.fine, s.stride, from1[sample], c, s.minus);
      Spread(s.fine, s.stride, to1[sample], c, s.plus);
    });
  }

  /// Column `width` of the run counts takes the counts of column width − 1
  /// again.
  void RepeatLastColumn() {
    if (m_width == 0) return;
    for (int k = 0; k < kRuns; ++k) CoarseToChange(k)[m_width] = Coarse(k)[m_width - 1];
  }

 private:
  /// `times` in each of the first W bytes.
  __m128i Delta(int times) const {
    return _mm_and_si128(_mm_set1_epi8(static_cast<char>(times)), m_lanes);
  }

  /// Adds a sample of value v in column c to the counts of its W windows
  /// (fine: m_fine moved on by m_spreadOffset, held by the caller in a
  /// local so that the byte stores cannot be taken to change it).
  static void Spread(BYTE* fine, std::size_t stride, unsigned v, std::size_t c, __m128i delta) {
    __m128i* p = reinterpret_cast<__m128i*>(fine + v * stride + c);
    _mm_storeu_si128(p, _mm_add_epi8(_mm_loadu_si128(p), delta));
  }

  /// Calls f(sample column, column counted) for every column, and once
  /// more for column `width` (the edge sample again) where the last window
  /// reaches past the edge. Not left to right: in blocks of 512 columns,
  /// 32 columns apart within a block, so that the 16-byte updates of
  /// neighbouring columns (which overlap, and often meet in one value's
  /// row) do not follow each other closely: a load that overlaps a store
  /// still on its way to the cache waits for it.
  template <class F>
  void Interleaved(F f) {
    for (std::size_t base = 0; base < m_width; base += kBlockColumns) {
      const std::size_t end = std::min(m_width, base + kBlockColumns);
      for (std::size_t o = base; o < base + kApart && o < end; ++o)
        for (std::size_t c = o; c < end; c += kApart) f(c, c);
    }
    if (m_edgeRepeated && m_width > 0) f(m_width - 1, m_width);
  }

  BYTE* m_fine;
  BYTE* m_coarse;
  std::size_t m_width;
  std::size_t m_stride;
  std::size_t m_spreadOffset;
  bool m_edgeRepeated;
  __m128i m_lanes;
};

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_WINDOWCOUNTS_H
