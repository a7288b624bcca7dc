// The record of the positions a colour trace has entered. It costs memory
// and time in proportion to the positions entered, never to the image.
#ifndef ZENTREL_VECTOR_VISITEDSET_H
#define ZENTREL_VECTOR_VISITEDSET_H

#include <cstddef>
#include <cstdint>

#include "platform/Memory.h"

namespace vector_detail {

/// A set of pixel positions of a width × height image. It starts as a small
/// open-addressing hash table inside the object, doubles into scratch memory
/// as it fills, and turns into a bitmap of the image once the next table
/// would be larger than that bitmap. It never throws: Insert reports when
/// memory runs out.
class VisitedSet {
 public:
  VisitedSet(std::uint32_t width, std::uint32_t height);
  VisitedSet(const VisitedSet&) = delete;
  VisitedSet& operator=(const VisitedSet&) = delete;

  /// True when (x, y), a position inside the image, has been inserted.
  bool Contains(std::uint32_t x, std::uint32_t y) const;
  /// Adds (x, y), a position inside the image. False when the set could not
  /// grow; the position is then not added.
  bool Insert(std::uint32_t x, std::uint32_t y);

  /// Number of positions held.
  std::size_t Size() const { return m_count; }
  /// True once the set has turned into a bitmap.
  bool IsBitmap() const { return m_bitmap != nullptr; }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};  // no position has this key
  static constexpr std::size_t kInlineSlots = 64;

  std::uint64_t Key(std::uint32_t x, std::uint32_t y) const { return y * m_width + x; }
  std::size_t Home(std::uint64_t key) const;
  bool TableContains(std::uint64_t key) const;
  void TableAdd(std::uint64_t key);
  bool Grow();
  bool MakeBitmap();

  std::uint64_t m_width;
  std::uint64_t m_bitmapBytes;
  std::size_t m_count = 0;
  std::size_t m_capacity = kInlineSlots;  // a power of two
  int m_shift = 64 - 6;                   // 64 − log2(m_capacity)
  std::uint64_t* m_slots;
  ScratchBuffer m_table;  // the slots once they outgrow m_inline
  ScratchBuffer m_bitmapStore;
  BYTE* m_bitmap = nullptr;  // one bit per pixel, row-major, once in use
  std::uint64_t m_inline[kInlineSlots];
};

}  // namespace vector_detail

#endif  // ZENTREL_VECTOR_VISITEDSET_H
