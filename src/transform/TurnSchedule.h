// The order in which a turn visits its destination tiles when it writes
// them straight over the image, and which tiles it copies to the scratch
// first, so that every source pixel is read as it was before the turn.
//
// A destination tile is written over the image once its pixels are
// gathered. Before that, if a tile visited later reads it, its source
// pixels are copied to the scratch (at the same offsets). A tile whose
// reads reach a tile already written gathers from the scratch instead, and
// the tiles it reads that are still unwritten are copied then. Any order is
// correct; the order only decides how much is copied. In a turn by a
// degrees each pixel is read from the point a degrees further round the
// centre, so visiting the tiles by their angle about the centre, against
// the turn, leaves only a wedge of about a / 360 of the image to copy (plus
// the tiles near the centre, which read one another), where a whole
// scratch image would be written and copied back.
#ifndef ZENTREL_TRANSFORM_TURNSCHEDULE_H
#define ZENTREL_TRANSFORM_TURNSCHEDULE_H

#include <cstddef>
#include <cstdint>

namespace zentrel::detail::rotation {

/// The source tiles a destination tile reads: rows first .. last and
/// columns first .. last of the tile grid; none when rowFirst > rowLast.
struct TileSpan {
  std::int32_t rowFirst = 0;
  std::int32_t rowLast = -1;
  std::int32_t columnFirst = 0;
  std::int32_t columnLast = -1;

  bool Empty() const { return rowFirst > rowLast || columnFirst > columnLast; }
};

class TurnSchedule {
 public:
  /// Bytes of the memory a schedule of `tiles` tiles works in (aligned to
  /// 8 bytes at its start).
  static std::size_t BytesFor(std::size_t tiles);

  /// A schedule over tilesDown × tilesAcross tiles in the given memory.
  /// Every tile reads nothing until SetReads says otherwise; an order is
  /// set (UseRowOrder or ChooseOrder) once every tile's reads are.
  TurnSchedule(void* memory, std::int32_t tilesDown, std::int32_t tilesAcross);

  std::int32_t Tiles() const { return m_tiles; }
  std::int32_t TileRow(std::int32_t tile) const { return tile / m_across; }
  std::int32_t TileColumn(std::int32_t tile) const { return tile % m_across; }
  void SetReads(std::int32_t tile, const TileSpan& reads) { m_reads[tile] = reads; }

  /// Picks, of the row-by-row order and the two orders round the centre
  /// (centreRow, centreColumn in tiles), the one that copies fewest tiles.
  void ChooseOrder(double centreRow, double centreColumn);
  /// Visits the tiles row by row.
  void UseRowOrder();

  std::int32_t TileAt(std::int32_t position) const { return m_order[position]; }

  /// Before gathering the tile visited at `position`: whether it reads the
  /// scratch. When it does, keep(tile) is called for each tile it reads
  /// that has no copy yet, which must copy that tile's pixels now.
  template <class Keep>
  bool ReadsScratch(std::int32_t position, Keep&& keep);

  /// Before writing the tile visited at `position`: keep(tile) is called
  /// for it when a later tile reads it and it has no copy yet.
  template <class Keep>
  void BeforeWrite(std::int32_t position, Keep&& keep);

  /// Clears the copies' marks, for a fresh run over the same order.
  void ForgetCopies();

 private:
  /// Sets the order to the tiles sorted by m_key, and the positions and
  /// last readers that follow from it.
  void UseOrderByKey();
  void UseOrderRound(double centreRow, double centreColumn, bool clockwise);
  /// How many tiles the current order copies.
  std::int32_t CountCopies();

  std::int32_t m_tiles;
  std::size_t m_count;  // m_tiles, for sizes
  std::int32_t m_across;
  TileSpan* m_reads;
  std::int32_t* m_order;
  std::int32_t* m_position;
  std::int32_t* m_lastReader;
  double* m_key;
  bool* m_kept;
};

template <class Keep>
bool TurnSchedule::ReadsScratch(std::int32_t position, Keep&& keep) {
  const TileSpan& reads = m_reads[m_order[position]];
  if (reads.Empty()) return false;
  bool written = false;
  for (std::int32_t r = reads.rowFirst; r <= reads.rowLast && !written; ++r)
    for (std::int32_t c = reads.columnFirst; c <= reads.columnLast; ++c)
      written = written || m_position[r * m_across + c] < position;
  if (!written) return false;
  // Written tiles that this one reads were copied before their writing (it
  // is one of their readers); the rest are still as they were.
  for (std::int32_t r = reads.rowFirst; r <= reads.rowLast; ++r) {
    for (std::int32_t c = reads.columnFirst; c <= reads.columnLast; ++c) {
      const std::int32_t tile = r * m_across + c;
      if (m_kept[tile]) continue;
      m_kept[tile] = true;
      keep(tile);
    }
  }
  return true;
}

template <class Keep>
void TurnSchedule::BeforeWrite(std::int32_t position, Keep&& keep) {
  const std::int32_t tile = m_order[position];
  if (m_lastReader[tile] <= position || m_kept[tile]) return;
  m_kept[tile] = true;
  keep(tile);
}

}  // namespace zentrel::detail::rotation

#endif  // ZENTREL_TRANSFORM_TURNSCHEDULE_H
