// Contour tracing over a caller's trace mask: the neighbour count, the trace
// that clears each cell it visits, and the in-place thinning pass.
#include <cstddef>

#include "ImageDataModel.h"
#include "vector/TraceOrder.h"

using namespace zentrel::detail;

using zentrel::detail::tracing::IsInterior;
using zentrel::detail::tracing::kTraceOrder;

namespace zentrel::detail {
namespace {

/// The mask trace stops when this many points are written.
constexpr short kMaskPointLimit = 1600;

/// Offsets of the eight neighbours of a cell within a mask row-major without
/// padding, in trace order.
class NeighbourOffsets {
 public:
  explicit NeighbourOffsets(int width) {
    for (int i = 0; i < 8; ++i)
      m_at[i] = static_cast<std::ptrdiff_t>(kTraceOrder[i].dy) * width + kTraceOrder[i].dx;
  }
  std::ptrdiff_t operator[](int i) const { return m_at[i]; }

 private:
  std::ptrdiff_t m_at[8];
};

/// Number of the eight neighbours of an interior cell that hold mark.
int CountNeighbours(const BYTE* cell, const NeighbourOffsets& offsets, BYTE mark) {
  int count = 0;
  for (int i = 0; i < 8; ++i) count += cell[offsets[i]] == mark;
  return count;
}

/// True when one of the eight neighbours of an interior cell holds mark.
bool AnyNeighbour(const BYTE* cell, const NeighbourOffsets& offsets, BYTE mark) {
  for (int i = 0; i < 8; ++i)
    if (cell[offsets[i]] == mark) return true;
  return false;
}

/// A mark value outside 0..255 equals no byte, so it matches nothing.
bool IsByteValue(int value) { return value >= 0 && value <= 255; }

std::ptrdiff_t CellIndex(int x, int y, int width) {
  return static_cast<std::ptrdiff_t>(y) * width + x;
}

}  // namespace
}  // namespace zentrel::detail

short CImageDataModel::VecConnect(int x, int y, int width, int height, const BYTE* mask,
                                  int value) {
  if (!mask || !IsInterior(x, y, width, height) || !IsByteValue(value)) return 0;
  const NeighbourOffsets offsets(width);
  return static_cast<short>(
      CountNeighbours(mask + CellIndex(x, y, width), offsets, static_cast<BYTE>(value)));
}

short CImageDataModel::VecTrace(int x, int y, int width, int height, POINT* points, BYTE* mask,
                                int value) {
  // trace-null-points: a null point buffer is refused like a null mask;
  // nothing is written through it and no cell is cleared.
  if (!mask || !points || !IsInterior(x, y, width, height) || !IsByteValue(value)) return 0;
  const BYTE mark = static_cast<BYTE>(value);
  const NeighbourOffsets offsets(width);
  std::ptrdiff_t cell = CellIndex(x, y, width);
  // Only the start needs this test: every later cell is entered after its
  // own look-ahead found a marked neighbour, and nothing changes in between.
  if (!AnyNeighbour(mask + cell, offsets, mark)) return 0;

  short count = 0;
  for (;;) {
    points[count].x = x;
    points[count].y = y;
    // A full buffer ends the trace before the cell is cleared, so the last
    // recorded cell stays marked.
    if (++count == kMaskPointLimit) return count;
    mask[cell] = 0;

    bool moved = false;
    for (int i = 0; i < 8 && !moved; ++i) {
      const int nx = x + kTraceOrder[i].dx;
      const int ny = y + kTraceOrder[i].dy;
      const std::ptrdiff_t next = cell + offsets[i];
      // Look-ahead: a neighbour none of whose own neighbours is still marked
      // is never entered, so the last cell of an open chain stays marked.
      if (mask[next] != mark || !IsInterior(nx, ny, width, height) ||
          !AnyNeighbour(mask + next, offsets, mark))
        continue;
      x = nx;
      y = ny;
      cell = next;
      moved = true;
    }
    if (!moved) return count;
  }
}

void CImageDataModel::ThinEdge(int width, int height, BYTE* mask) {
  if (!mask || width < 3 || height < 3) return;  // no interior cell to change
  const NeighbourOffsets offsets(width);
  // In place, rows from the top and each row from the left: a cell's count
  // sees the cells already cleared above it and to its left. Cells that are
  // already 0 are skipped, since clearing them changes nothing.
  for (int y = 1; y < height - 1; ++y) {
    BYTE* row = mask + CellIndex(0, y, width);
    for (int x = 1; x < width - 1; ++x) {
      if (row[x] != 0 && CountNeighbours(row + x, offsets, 0) > 2) row[x] = 0;
    }
  }
}
