// The RLE8 and RLE4 decoder of the widened BMP reader. A stream is a list of
// two-byte items: a count and a value (a run), or 0 and a code (0 end of
// line, 1 end of bitmap, 2 a move by the next two bytes, 3..255 that many
// literal indices padded to an even byte count).
#include "files/BmpRle.h"

#include <algorithm>

#include "ImageDataModel.h"
#include "image/Raster.h"

namespace zentrel::detail {

namespace {

class RleWriter {
 public:
  explicit RleWriter(const RleTarget& target) : m_target(target) {}

  bool Done() const { return m_y >= m_target.height; }
  bool Cut() const { return m_cut; }
  void EndLine() {
    m_x = 0;
    ++m_y;
  }
  void Move(unsigned dx, unsigned dy) {
    m_x += dx;
    m_y += dy;
  }
  /// Puts count indices, index(i) giving the i-th, from the position on.
  template <typename IndexOf>
  void Put(std::uint64_t count, IndexOf index) {
    if (m_y >= m_target.height) {
      m_cut = m_cut || count > 0;
      return;
    }
    if (m_x < m_target.width) {
      const std::uint64_t take = std::min<std::uint64_t>(count, m_target.width - m_x);
      const std::uint64_t stored =
          m_target.topDown ? StoredRowOf<std::uint64_t>(m_target.height, m_y) : m_y;
      BYTE* row = m_target.bits + stored * m_target.rowBytes + m_x;
      for (std::uint64_t i = 0; i < take; ++i) row[i] = index(i);
    }
    m_x += count;
    // bmp-rle-row-padding: indices within the row's padding are dropped
    // quietly, as writers encode padded rows; beyond it the stream is damaged.
    m_cut = m_cut || m_x > std::max<std::uint64_t>(m_target.paddedWidth, m_target.width);
  }

 private:
  const RleTarget& m_target;
  std::uint64_t m_x = 0;
  std::uint64_t m_y = 0;
  bool m_cut = false;
};

}  // namespace

int DecodeBmpRle(const BYTE* data, std::size_t size, bool fourBit, const RleTarget& target) {
  RleWriter out(target);
  std::size_t at = 0;
  for (;;) {
    if (out.Done()) {
      // A full image may still carry its end-of-bitmap code; anything else
      // would land past the last row.
      const bool clean = at + 2 > size || (data[at] == 0 && data[at + 1] == 1);
      return clean && !out.Cut() ? ZENTREL_NOTE_NONE : ZENTREL_NOTE_DAMAGED_DATA;
    }
    if (at + 2 > size) return out.Cut() ? ZENTREL_NOTE_DAMAGED_DATA : ZENTREL_NOTE_TRUNCATED;
    const BYTE count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      // A run; in RLE4 its indices alternate between the byte's two halves.
      const BYTE high = static_cast<BYTE>(value >> 4), low = static_cast<BYTE>(value & 15);
      if (fourBit)
        out.Put(count, [&](std::uint64_t i) { return i % 2 == 0 ? high : low; });
      else
        out.Put(count, [&](std::uint64_t) { return value; });
      continue;
    }
    if (value == 0) {
      out.EndLine();
    } else if (value == 1) {
      return out.Cut() ? ZENTREL_NOTE_DAMAGED_DATA : ZENTREL_NOTE_NONE;
    } else if (value == 2) {
      if (at + 2 > size) return ZENTREL_NOTE_TRUNCATED;
      out.Move(data[at], data[at + 1]);
      at += 2;
    } else {
      // Literal indices, padded to an even number of bytes; those the data
      // lacks are not written.
      const std::size_t bytes = fourBit ? (value + 1u) / 2 : value;
      const std::size_t have = std::min(bytes, size - at);
      const std::uint64_t indices = fourBit ? std::min<std::uint64_t>(value, 2 * have) : have;
      const BYTE* literal = data + at;
      if (fourBit)
        out.Put(indices, [&](std::uint64_t i) {
          return static_cast<BYTE>(i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 15);
        });
      else
        out.Put(indices, [&](std::uint64_t i) { return literal[i]; });
      if (have < bytes) return ZENTREL_NOTE_TRUNCATED;
      at += bytes + (bytes & 1);
    }
  }
}

}  // namespace zentrel::detail
