// The record of the positions a colour trace has entered. It costs memory
// and time in proportion to the positions entered, never to the image.
#ifndef ZENTREL_VECTOR_VISITEDSET_H
#define ZENTREL_VECTOR_VISITEDSET_H

#include <cstddef>
#include <cstdint>

#include "platform/Memory.h"

namespace zentrel::detail::tracing {

/// A set of pixel positions of a width × height image. Positions are kept
/// in 8 × 8 tiles (a 64-bit mask each), found through an open-addressing
/// hash table that starts inside the object and doubles into scratch memory
/// as it fills; a trace stays near where it was, so most look-ups hit the
/// tile of the previous one. Once the next table would be larger than a
/// bitmap of the whole image, the set turns into that bitmap. It never
/// throws: Insert reports when memory runs out.
class VisitedSet {
 public:
  VisitedSet(std::uint32_t width, std::uint32_t height);
  VisitedSet(const VisitedSet&) = delete;
  VisitedSet& operator=(const VisitedSet&) = delete;

  /// True when (x, y), a position inside the image, has been inserted.
  bool Contains(std::uint32_t x, std::uint32_t y) {
    // Most look-ups hit the tile of the previous one: that test is made
    // here, inline in the trace's loop (m_last is null once the set is a
    // bitmap).
    if (m_last && m_last->key == TileKey(x, y)) return (m_last->bits & TileBit(x, y)) != 0;
    return ContainsElsewhere(x, y);
  }
  /// Adds (x, y), a position inside the image. False when the set could not
  /// grow; the position is then not added.
  bool Insert(std::uint32_t x, std::uint32_t y) {
    if (m_last && m_last->key == TileKey(x, y)) {
      m_last->bits |= TileBit(x, y);
      return true;
    }
    return InsertElsewhere(x, y);
  }

 private:
  struct Tile {
    std::uint64_t key;   // tile row << 32 | tile column, or kNoTile
    std::uint64_t bits;  // bit (y % 8) × 8 + x % 8
  };
  static constexpr std::uint64_t kNoTile = ~std::uint64_t{0};
  static constexpr std::size_t kInlineTiles = 32;

  static std::uint64_t TileKey(std::uint32_t x, std::uint32_t y) {
    return static_cast<std::uint64_t>(y >> 3) << 32 | (x >> 3);
  }
  static std::uint64_t TileBit(std::uint32_t x, std::uint32_t y) {
    return std::uint64_t{1} << ((y & 7) * 8 + (x & 7));
  }
  bool ContainsElsewhere(std::uint32_t x, std::uint32_t y);
  bool InsertElsewhere(std::uint32_t x, std::uint32_t y);
  Tile* Find(std::uint64_t key);
  Tile* Place(std::uint64_t key);
  bool Grow();
  bool MakeBitmap();
  void ClearSlots(Tile* slots, std::size_t count);

  std::uint64_t m_width;
  std::uint64_t m_bitmapBytes;
  std::size_t m_tiles = 0;                // tiles in use
  std::size_t m_capacity = kInlineTiles;  // a power of two
  int m_shift = 64 - 5;                   // 64 − log2(m_capacity)
  Tile* m_slots;
  Tile* m_last = nullptr;  // the tile found last, if any
  ScratchBuffer m_table;   // the slots once they outgrow m_inline
  ScratchBuffer m_bitmapStore;
  BYTE* m_bitmap = nullptr;  // one bit per pixel, row-major, once in use
  Tile m_inline[kInlineTiles];
};

}  // namespace zentrel::detail::tracing

#endif  // ZENTREL_VECTOR_VISITEDSET_H
