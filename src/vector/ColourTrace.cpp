// Contour tracing over the image's colours: the count of matching
// neighbours and the trace that follows them. Also the no-op Trace.
#include <cstddef>
#include <cstdint>

#include "ImageDataModel.h"
#include "image/ImageAccess.h"
#include "vector/TraceOrder.h"
#include "vector/VisitedSet.h"

using namespace zentrel::detail;

using zentrel::detail::tracing::IsInterior;
using zentrel::detail::tracing::kTraceOrder;
using zentrel::detail::tracing::VisitedSet;

namespace zentrel::detail {
namespace {

/// The colour trace stops when this many points are written.
constexpr short kColourPointLimit = 16000;

/// Tests pixels against one colour with the colour match threshold, reading
/// the pixel rows directly; the same outcome as ColorDistance(...) < threshold.
class ColourMatcher {
 public:
  /// rows: a checked, non-empty raster.
  ColourMatcher(const Raster& rows, COLORREF colour, int threshold)
      : m_rows(rows), m_colour(colour), m_threshold(threshold) {
    // An 8-bit pixel matches when its colour-table entry does, so each
    // entry is tested once.
    if (!m_rows.TrueColour()) {
      for (int i = 0; i < 256; ++i) m_indexMatches[i] = Matches(TableColour(m_rows.table[i]));
    }
  }

  bool TrueColour() const { return m_rows.TrueColour(); }

  /// Bit i is set when neighbour i (in trace order) of the interior pixel
  /// (x, y) matches. All eight are tested.
  unsigned Neighbours(int x, int y) const {
    return TrueColour() ? Neighbours<true>(x, y) : Neighbours<false>(x, y);
  }

  /// Neighbours for a raster of the given depth (kTrueColour: 24 bits).
  template <bool kTrueColour>
  unsigned Neighbours(int x, int y) const {
    // In locals: the trace's own stores could otherwise alias the fields. A
    // row further down the image is stored one row lower in the block.
    const BYTE* const centre = m_rows.RowFromTop(static_cast<std::size_t>(y));
    const std::ptrdiff_t line = static_cast<std::ptrdiff_t>(m_rows.lineBytes);
    const COLORREF colour = m_colour;
    const int threshold = m_threshold;
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) {
      const std::size_t nx = static_cast<std::size_t>(x + kTraceOrder[i].dx);
      const BYTE* row = centre - kTraceOrder[i].dy * line;
      const bool match = kTrueColour
                             ? ColourDifference(TrueColourAt(row + 3 * nx), colour) < threshold
                             : m_indexMatches[row[nx]];
      if (match) bits |= 1u << i;
    }
    return bits;
  }

 private:
  bool Matches(COLORREF pixel) const { return ColourDifference(pixel, m_colour) < m_threshold; }

  Raster m_rows;
  COLORREF m_colour;
  int m_threshold;
  bool m_indexMatches[256] = {};
};

int CountBits(unsigned bits) {
  int count = 0;
  for (; bits; bits &= bits - 1) ++count;
  return count;
}

/// Follows the chain of matching pixels from the interior pixel (x, y),
/// already entered in visited, writing the chain's points; returns their
/// number. The depth is a template argument so that the loop is built once
/// per depth, with no depth test per step.
template <bool kTrueColour>
short FollowChain(const ColourMatcher& matcher, UINT width, UINT height, VisitedSet& visited, int x,
                  int y, POINT* points) {
  short count = 0;
  for (;;) {
    // The outermost ring has no matching neighbours: the trace ends there.
    if (!IsInterior(x, y, width, height)) return count;
    const unsigned matches = matcher.Neighbours<kTrueColour>(x, y);
    if (!matches) return count;
    // k counts every matching neighbour, entered before or not; only
    // positions on a chain (one or two matches) are recorded.
    const int k = CountBits(matches);
    if (k <= 2) {
      points[count].x = x;
      points[count].y = y;
      if (++count == kColourPointLimit) return count;
    }

    bool moved = false;
    for (int i = 0; i < 8 && !moved; ++i) {
      if (!(matches & (1u << i))) continue;
      const UINT nx = static_cast<UINT>(x + kTraceOrder[i].dx);
      const UINT ny = static_cast<UINT>(y + kTraceOrder[i].dy);
      if (visited.Contains(nx, ny)) continue;
      // Out of memory for the visited record ends the trace with what it has.
      if (!visited.Insert(nx, ny)) return count;
      x = static_cast<int>(nx);
      y = static_cast<int>(ny);
      moved = true;
    }
    if (!moved) return count;
  }
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::Trace() { return 1; }

short CImageDataModel::VecConnect(int x, int y, DWORD colour) {
  // A released record keeps its old size, and an empty raster stands for it
  // (or for a header that no longer fits the block); without this test its
  // absent pixels would all read as distance 0 and match.
  const Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty() || !IsInterior(x, y, rows.width, rows.height)) return 0;
  const ColourMatcher matcher(rows, colour, ImageAccess::MatchThreshold(*this));
  return static_cast<short>(CountBits(matcher.Neighbours(x, y)));
}

short CImageDataModel::VecTrace(int x, int y, DWORD colour, POINT* points) {
  const Raster rows = ImageAccess::Checked(*this);
  // trace-null-points: nowhere to write the points, so nothing is traced.
  if (!points || rows.Empty() || !IsInterior(x, y, rows.width, rows.height)) return 0;
  const ColourMatcher matcher(rows, colour, ImageAccess::MatchThreshold(*this));

  // The trace never enters a position twice, so it ends on every image: it
  // moves to the first matching neighbour not yet entered, and ends when
  // there is none.
  VisitedSet visited(rows.width, rows.height);
  if (!visited.Insert(static_cast<UINT>(x), static_cast<UINT>(y))) return 0;

  if (matcher.TrueColour())
    return FollowChain<true>(matcher, rows.width, rows.height, visited, x, y, points);
  return FollowChain<false>(matcher, rows.width, rows.height, visited, x, y, points);
}
