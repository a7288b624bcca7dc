// The visited record of the colour tracer: hash table first, bitmap when the
// table would outgrow it.
#include "vector/VisitedSet.h"

#include <algorithm>

namespace vector_detail {

VisitedSet::VisitedSet(std::uint32_t width, std::uint32_t height)
    : m_width(width),
      m_bitmapBytes((static_cast<std::uint64_t>(width) * height + 7) / 8),
      m_slots(m_inline) {
  std::fill(m_inline, m_inline + kInlineSlots, kEmpty);
}

std::size_t VisitedSet::Home(std::uint64_t key) const {
  // Fibonacci hashing: neighbouring positions land far apart.
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_shift);
}

bool VisitedSet::TableContains(std::uint64_t key) const {
  const std::size_t mask = m_capacity - 1;
  for (std::size_t i = Home(key);; i = (i + 1) & mask) {
    if (m_slots[i] == key) return true;
    if (m_slots[i] == kEmpty) return false;
  }
}

void VisitedSet::TableAdd(std::uint64_t key) {
  const std::size_t mask = m_capacity - 1;
  std::size_t i = Home(key);
  while (m_slots[i] != kEmpty) i = (i + 1) & mask;
  m_slots[i] = key;
}

bool VisitedSet::Contains(std::uint32_t x, std::uint32_t y) const {
  const std::uint64_t key = Key(x, y);
  if (m_bitmap) return (m_bitmap[key >> 3] >> (key & 7)) & 1;
  return TableContains(key);
}

bool VisitedSet::Insert(std::uint32_t x, std::uint32_t y) {
  const std::uint64_t key = Key(x, y);
  if (Contains(x, y)) return true;
  // The table is kept at most half full, so probes stay short and always
  // meet an empty slot.
  if (!m_bitmap && 2 * (m_count + 1) > m_capacity && !Grow()) return false;
  if (m_bitmap) {
    m_bitmap[key >> 3] = static_cast<BYTE>(m_bitmap[key >> 3] | (1u << (key & 7)));
  } else {
    TableAdd(key);
  }
  ++m_count;
  return true;
}

bool VisitedSet::Grow() {
  const std::uint64_t capacity = 2 * static_cast<std::uint64_t>(m_capacity);
  if (capacity * sizeof(std::uint64_t) >= m_bitmapBytes) return MakeBitmap();
  ScratchBuffer table = AllocateScratch(static_cast<std::size_t>(capacity) * sizeof(std::uint64_t));
  if (!table) return false;
  std::uint64_t* slots = reinterpret_cast<std::uint64_t*>(table.get());
  std::fill(slots, slots + capacity, kEmpty);

  const std::uint64_t* old = m_slots;
  const std::size_t oldCapacity = m_capacity;
  m_slots = slots;
  m_capacity = static_cast<std::size_t>(capacity);
  --m_shift;
  for (std::size_t i = 0; i < oldCapacity; ++i)
    if (old[i] != kEmpty) TableAdd(old[i]);
  m_table = std::move(table);  // releases the previous scratch table, if any
  return true;
}

bool VisitedSet::MakeBitmap() {
  // Images stay below 2 GiB of pixels, so the bitmap size fits a size_t.
  ScratchBuffer bitmap = AllocateZeroedScratch(static_cast<std::size_t>(m_bitmapBytes));
  if (!bitmap) return false;
  for (std::size_t i = 0; i < m_capacity; ++i) {
    const std::uint64_t key = m_slots[i];
    if (key != kEmpty) bitmap[key >> 3] = static_cast<BYTE>(bitmap[key >> 3] | (1u << (key & 7)));
  }
  m_bitmapStore = std::move(bitmap);
  m_bitmap = m_bitmapStore.get();
  m_table.reset();
  m_slots = nullptr;
  return true;
}

}  // namespace vector_detail
