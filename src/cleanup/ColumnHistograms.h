// Per-column histograms of a band of image rows, stored value by value:
// for each of the 256 values (and each of the 16 runs of 16 values) a row
// of byte counts across the columns, so that neighbouring windows read
// neighbouring bytes and a whole vector of windows is summed at once.
#ifndef ZENTREL_CLEANUP_COLUMNHISTOGRAMS_H
#define ZENTREL_CLEANUP_COLUMNHISTOGRAMS_H

#include <cstddef>
#include <cstring>

#include "ZentrelPlatform.h"

namespace zentrel::detail::cleanup {

/// Counts live in caller-owned memory of Bytes(width) bytes. A count holds
/// at most 255 samples (a band of at most 255 rows); arithmetic on the
/// counts is modulo 256, so a row may leave before another enters. Column
/// `width` repeats column width − 1 (where an even window reads past the
/// edge, it reads the edge column again); the columns after it, up to
/// kSpare of them, hold zeros, so that vector loads may run past the row.
class ColumnHistograms {
 public:
  static constexpr int kValues = 256;
  static constexpr int kRuns = 16;  // runs of 16 values: run v >> 4
  static constexpr std::size_t kSpare = 64;

  static std::size_t Stride(std::size_t width) { return width + kSpare; }
  static std::size_t Bytes(std::size_t width) { return Stride(width) * (kValues + kRuns); }

  ColumnHistograms(BYTE* memory, std::size_t width)
      : m_fine(memory),
        m_coarse(memory + Stride(width) * kValues),
        m_width(width),
        m_stride(Stride(width)) {
    std::memset(memory, 0, Bytes(width));
  }

  /// The counts of value v, by column.
  const BYTE* Fine(int v) const { return m_fine + static_cast<std::size_t>(v) * m_stride; }
  /// The counts of run k (values 16k … 16k + 15), by column.
  const BYTE* Coarse(int k) const { return m_coarse + static_cast<std::size_t>(k) * m_stride; }

  /// Adds (times > 0) or removes (times < 0) a row's samples, |times| each.
  void AddRow(const BYTE* row, int times) {
    BYTE* const fine = m_fine;  // locals: the byte stores cannot change them
    BYTE* const coarse = m_coarse;
    const std::size_t stride = m_stride;
    const BYTE delta = static_cast<BYTE>(times);
    for (std::size_t c = 0; c < m_width; ++c) Change(fine, coarse, stride, c, row[c], delta);
    RepeatLastColumn();
  }

  /// The counts of run k, to be changed by a caller that keeps them itself
  /// (after ReplaceFine).
  BYTE* CoarseToChange(int k) { return m_coarse + static_cast<std::size_t>(k) * m_stride; }

  /// A row counted once changed from `from` to `to`: the counts of the
  /// values only. The caller brings the run counts up to date and then
  /// calls RepeatLastColumn.
  void ReplaceFine(const BYTE* from, const BYTE* to) {
    BYTE* const fine = m_fine;
    const std::size_t stride = m_stride;
    const std::size_t width = m_width;
    for (std::size_t c = 0; c < width; ++c) {
      BYTE& gone = fine[from[c] * stride + c];
      gone = static_cast<BYTE>(gone - 1);
      BYTE& come = fine[to[c] * stride + c];
      come = static_cast<BYTE>(come + 1);
    }
  }

  /// Column `width` takes the counts of column width − 1 again.
  void RepeatLastColumn() {
    if (m_width == 0) return;
    BYTE* const fine = m_fine;
    for (std::size_t v = 0; v < kValues + kRuns; ++v)
      fine[v * m_stride + m_width] = fine[v * m_stride + m_width - 1];
  }

  /// A row counted `times` times changed from `from` to `to`.
  void ReplaceRow(const BYTE* from, const BYTE* to, int times) {
    BYTE* const fine = m_fine;
    BYTE* const coarse = m_coarse;
    const std::size_t stride = m_stride;
    const std::size_t width = m_width;
    const BYTE delta = static_cast<BYTE>(times);
    const BYTE undo = static_cast<BYTE>(-times);
    // Without branches: equal values (often the case, and not foreseeable)
    // simply take the count away and give it back.
    for (std::size_t c = 0; c < width; ++c) {
      Change(fine, coarse, stride, c, from[c], undo);
      Change(fine, coarse, stride, c, to[c], delta);
    }
    RepeatLastColumn();
  }

 private:
  static void Change(BYTE* fine, BYTE* coarse, std::size_t stride, std::size_t c, unsigned v,
                     BYTE delta) {
    BYTE& count = fine[v * stride + c];
    BYTE& runCount = coarse[(v >> 4) * stride + c];
    count = static_cast<BYTE>(count + delta);
    runCount = static_cast<BYTE>(runCount + delta);
  }

  BYTE* m_fine;
  BYTE* m_coarse;  // directly after the fine rows (RepeatLastColumn covers both)
  std::size_t m_width;
  std::size_t m_stride;
};

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_COLUMNHISTOGRAMS_H
