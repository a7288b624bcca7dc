// The visited record of the colour tracer: a hash table of 8 × 8 tiles
// first, a bitmap of the image once the table would outgrow it.
#include "vector/VisitedSet.h"

namespace zentrel::detail::tracing {

VisitedSet::VisitedSet(std::uint32_t width, std::uint32_t height)
    : m_width(width),
      m_bitmapBytes((static_cast<std::uint64_t>(width) * height + 7) / 8),
      m_slots(m_inline) {
  ClearSlots(m_inline, kInlineTiles);
}

void VisitedSet::ClearSlots(Tile* slots, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) slots[i] = Tile{kNoTile, 0};
}

VisitedSet::Tile* VisitedSet::Find(std::uint64_t key) {
  if (m_last && m_last->key == key) return m_last;
  // Fibonacci hashing spreads neighbouring tiles over the table.
  const std::size_t mask = m_capacity - 1;
  for (std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_shift);;
       i = (i + 1) & mask) {
    if (m_slots[i].key == key) return m_last = &m_slots[i];
    if (m_slots[i].key == kNoTile) return nullptr;
  }
}

VisitedSet::Tile* VisitedSet::Place(std::uint64_t key) {
  const std::size_t mask = m_capacity - 1;
  std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_shift);
  while (m_slots[i].key != kNoTile) i = (i + 1) & mask;
  m_slots[i].key = key;
  return &m_slots[i];
}

bool VisitedSet::ContainsElsewhere(std::uint32_t x, std::uint32_t y) {
  if (m_bitmap) {
    const std::uint64_t index = y * m_width + x;
    return (m_bitmap[index >> 3] >> (index & 7)) & 1;
  }
  const Tile* tile = Find(TileKey(x, y));
  return tile && (tile->bits & TileBit(x, y));
}

bool VisitedSet::InsertElsewhere(std::uint32_t x, std::uint32_t y) {
  if (!m_bitmap) {
    const std::uint64_t key = TileKey(x, y);
    Tile* tile = Find(key);
    if (!tile) {
      // The table is kept at most half full, so probes stay short and
      // always meet an empty slot.
      if (2 * (m_tiles + 1) > m_capacity && !Grow()) return false;
      if (!m_bitmap) {
        tile = m_last = Place(key);
        ++m_tiles;
      }
    }
    if (tile) {
      tile->bits |= TileBit(x, y);
      return true;
    }
  }
  const std::uint64_t index = y * m_width + x;
  m_bitmap[index >> 3] = static_cast<BYTE>(m_bitmap[index >> 3] | (1u << (index & 7)));
  return true;
}

bool VisitedSet::Grow() {
  const std::uint64_t capacity = 2 * static_cast<std::uint64_t>(m_capacity);
  if (capacity * sizeof(Tile) >= m_bitmapBytes) return MakeBitmap();
  ScratchBuffer table = AllocateScratch(static_cast<std::size_t>(capacity) * sizeof(Tile));
  if (!table) return false;
  const Tile* old = m_slots;
  const std::size_t oldCapacity = m_capacity;
  m_slots = reinterpret_cast<Tile*>(table.get());
  m_capacity = static_cast<std::size_t>(capacity);
  --m_shift;
  m_last = nullptr;
  ClearSlots(m_slots, m_capacity);
  for (std::size_t i = 0; i < oldCapacity; ++i)
    if (old[i].key != kNoTile) Place(old[i].key)->bits = old[i].bits;
  m_table = std::move(table);  // releases the previous scratch table, if any
  return true;
}

bool VisitedSet::MakeBitmap() {
  // Images stay below 2 GiB of pixels, so the bitmap size fits a size_t.
  ScratchBuffer bitmap = AllocateZeroedScratch(static_cast<std::size_t>(m_bitmapBytes));
  if (!bitmap) return false;
  for (std::size_t i = 0; i < m_capacity; ++i) {
    const Tile& tile = m_slots[i];
    if (tile.key == kNoTile) continue;
    const std::uint64_t top = (tile.key >> 32) * 8, left = (tile.key & 0xFFFFFFFFu) * 8;
    for (int bit = 0; bit < 64; ++bit) {
      if (!((tile.bits >> bit) & 1)) continue;
      const std::uint64_t index = (top + bit / 8) * m_width + left + bit % 8;
      bitmap[index >> 3] = static_cast<BYTE>(bitmap[index >> 3] | (1u << (index & 7)));
    }
  }
  m_bitmapStore = std::move(bitmap);
  m_bitmap = m_bitmapStore.get();
  m_table.reset();
  m_slots = nullptr;
  m_last = nullptr;
  return true;
}

}  // namespace zentrel::detail::tracing
