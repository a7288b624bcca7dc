// Outline marking and shrinking of 24-bit images on rows of background
// bits: each row's bits are worked out once, from the row as it stands when
// it first enters a test (as the row below), and kept up to date with what
// the pass writes, so every decision sees the image in its current state.
#include <cstring>

#include "cleanup/BackgroundBits.h"

namespace zentrel::detail::cleanup {
namespace {

int TrailingZeros(std::uint64_t v) {  // v ≠ 0
#if defined(__GNUC__)
  return __builtin_ctzll(v);
#else
  int n = 0;
  while (!(v & 1)) v >>= 1, ++n;
  return n;
#endif
}

/// The bit rows of a pass: the row above, the row itself and the row below.
/// They live in the pass's own frame (the passes need no memory); rows
/// wider than they hold are left to the pixel by pixel pass.
class BitRows {
 public:
  static constexpr std::size_t kMaxWords = 256;  // 16384 pixels

  bool Fit(UINT width) {
    m_words = BitWords(width);
    if (m_words > kMaxWords) return false;
    m_above = m_store;
    m_own = m_above + m_words;
    m_below = m_own + m_words;
    m_width = width;
    return true;
  }
  std::size_t Words() const { return m_words; }
  std::uint64_t* Above() { return m_above; }
  std::uint64_t* Own() { return m_own; }
  std::uint64_t* Below() { return m_below; }
  /// The row below becomes the own row, the own row the row above.
  void Advance() {
    std::uint64_t* spare = m_above;
    m_above = m_own;
    m_own = m_below;
    m_below = spare;
  }
  /// Bit x set when x is an interior column (1 ≤ x ≤ width − 2).
  std::uint64_t Interior(std::size_t k) const {
    std::uint64_t bits = ~std::uint64_t{0};
    if (k == 0) bits &= ~std::uint64_t{1};
    const std::size_t last = m_width - 2;  // the last interior column
    if (k == last / 64) bits &= ~std::uint64_t{0} >> (63 - last % 64);
    return k > last / 64 ? 0 : bits;
  }
  /// Bit x set when bit x − 1 of row is (the left neighbour).
  std::uint64_t Left(const std::uint64_t* row, std::size_t k) const {
    return row[k] << 1 | (k ? row[k - 1] >> 63 : 0);
  }
  /// Bit x set when bit x + 1 of row is (the right neighbour).
  std::uint64_t Right(const std::uint64_t* row, std::size_t k) const {
    return row[k] >> 1 | (k + 1 < m_words ? row[k + 1] << 63 : 0);
  }

 private:
  std::uint64_t m_store[3 * kMaxWords];
  std::uint64_t* m_above = nullptr;
  std::uint64_t* m_own = nullptr;
  std::uint64_t* m_below = nullptr;
  std::size_t m_words = 0;
  std::size_t m_width = 0;
};

/// Writes one colour into runs of pixels.
class RunWriter {
 public:
  explicit RunWriter(COLORREF colour) {
    for (int i = 0; i < 12; i += 3) {
      m_pattern[i] = GetBValue(colour);
      m_pattern[i + 1] = GetGValue(colour);
      m_pattern[i + 2] = GetRValue(colour);
    }
  }
  /// Gives the colour to pixel first + b of row for every bit b of bits.
  void Write(BYTE* row, std::size_t first, std::uint64_t bits) const {
    while (bits) {
      const int start = TrailingZeros(bits);
      const std::uint64_t from = bits >> start;
      const int length = ~from ? TrailingZeros(~from) : 64 - start;
      BYTE* p = row + 3 * (first + static_cast<std::size_t>(start));
      int n = length;
      for (; n >= 4; n -= 4, p += 12) std::memcpy(p, m_pattern, 12);
      for (; n > 0; --n, p += 3) std::memcpy(p, m_pattern, 3);
      bits = start + length == 64 ? 0 : bits & (~std::uint64_t{0} << (start + length));
    }
  }

 private:
  BYTE m_pattern[12];
};

/// Asks for the bytes of a row ahead of their use. The passes go from the
/// image's top row down, which in the bottom-up rows is from one address
/// range to the one below it: each row starts a stream of its own, which
/// the processor's prefetching picks up only after a few misses. Asked for
/// one row ahead, the 24-bit passes over a 4000 × 4000 sheet took about a
/// quarter less time.
void Prefetch(const BYTE* row, std::size_t bytes) {
#if defined(__GNUC__)
  for (std::size_t i = 0; i < bytes; i += 64) __builtin_prefetch(row + i);
#else
  static_cast<void>(row);
  static_cast<void>(bytes);
#endif
}

/// Runs a pass over the interior rows 1 .. height − 2, top to bottom:
/// calls pass(bits, row) with the bits of the row and of its neighbours up
/// to date. False, with nothing done, when the rows are too wide for the
/// bits; a pass writing background keeps the own bits up to date itself.
template <class Pass>
bool EachInteriorRow(const Raster& rows, const BackgroundBits& test, Pass pass) {
  const UINT width = rows.width;
  if (rows.height < 3 || width < 3) return true;
  BitRows bits;
  if (!bits.Fit(width)) return false;
  test.Row(rows.RowFromTop(0), width, bits.Own());
  test.Row(rows.RowFromTop(1), width, bits.Below());
  for (UINT y = 1; y + 1 < rows.height; ++y) {
    bits.Advance();
    if (y + 2 < rows.height) Prefetch(rows.RowFromTop(y + 2), 3 * static_cast<std::size_t>(width));
    test.Row(rows.RowFromTop(y + 1), width, bits.Below());
    pass(bits, rows.RowFromTop(y));
  }
  return true;
}

}  // namespace

bool MarkOutlinesTrueColour(const Raster& rows, const BackgroundBits& test, COLORREF mark) {
  const bool markIsBackground = test.IsBackground(mark);
  const RunWriter writer(mark);
  return EachInteriorRow(rows, test, [&](BitRows& bits, BYTE* row) {
    std::uint64_t* own = bits.Own();
    const std::uint64_t* above = bits.Above();
    const std::uint64_t* below = bits.Below();
    for (std::size_t k = 0; k < bits.Words(); ++k) {
      // Only diagonal neighbours count, none in the row itself: the marks
      // of one row do not depend on each other.
      const std::uint64_t diagonal =
          bits.Left(above, k) | bits.Right(above, k) | bits.Left(below, k) | bits.Right(below, k);
      const std::uint64_t marked = ~own[k] & diagonal & bits.Interior(k);
      if (!marked) continue;
      writer.Write(row, 64 * k, marked);
      if (markIsBackground) own[k] |= marked;  // seen so by the row below
    }
  });
}

bool ShrinkTrueColour(const Raster& rows, const BackgroundBits& test, COLORREF written) {
  const bool writtenIsBackground = test.IsBackground(written);
  const RunWriter writer(written);
  return EachInteriorRow(rows, test, [&](BitRows& bits, BYTE* row) {
    std::uint64_t* own = bits.Own();
    const std::uint64_t* above = bits.Above();
    const std::uint64_t* below = bits.Below();
    for (std::size_t k = 0; k < bits.Words(); ++k) {
      const std::uint64_t candidates = ~own[k] & bits.Interior(k);
      if (!candidates) continue;
      // Every neighbour but the left one holds its state from before this
      // row's writes. The left one (x − 1) may have been written just
      // before; across words own[k − 1] is already up to date.
      const std::uint64_t fixed = above[k] | bits.Left(above, k) | bits.Right(above, k) | below[k] |
                                  bits.Left(below, k) | bits.Right(below, k) | bits.Right(own, k);
      std::uint64_t removed = candidates & (fixed | bits.Left(own, k));
      if (writtenIsBackground) {
        // A removed pixel is background for its right neighbour, so a
        // removal runs on to the end of its run of candidates: adding the
        // first removal of a run to the run clears the run from there on.
        removed = (candidates & ~(candidates + removed)) | removed;
        own[k] |= removed;
      }
      writer.Write(row, 64 * k, removed);
    }
  });
}

}  // namespace zentrel::detail::cleanup
