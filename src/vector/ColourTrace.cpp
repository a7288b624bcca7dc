// Contour tracing over the image's colours: the count of matching
// neighbours and the trace that follows them. Also the no-op Trace.
#include <cstddef>
#include <cstdint>

#include "ImageDataModel.h"
#include "image/ImageAccess.h"
#include "vector/TraceOrder.h"
#include "vector/VisitedSet.h"

using vector_detail::IsInterior;
using vector_detail::kTraceOrder;
using vector_detail::VisitedSet;

namespace {

/// The colour trace stops when this many points are written.
constexpr short kColourPointLimit = 16000;

/// Tests pixels against one colour with the colour match threshold, reading
/// the pixel rows directly; the same outcome as ColorDistance(...) < threshold.
class ColourMatcher {
 public:
  ColourMatcher(const BYTE* bits, const RGBQUAD* palette, UINT height, UINT lineBytes, int depth,
                COLORREF colour, int threshold)
      : m_bits(bits),
        m_height(height),
        m_lineBytes(lineBytes),
        m_trueColour(depth == 24),
        m_colour(colour),
        m_threshold(threshold) {
    // An 8-bit pixel matches exactly when its colour-table entry does.
    if (!m_trueColour) {
      for (int i = 0; i < 256; ++i) {
        const RGBQUAD& entry = palette[i];
        m_indexMatches[i] = Matches(RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue));
      }
    }
  }

  /// Bit i is set when neighbour i (in trace order) of the interior pixel
  /// (x, y) matches. All eight are tested.
  unsigned Neighbours(int x, int y) const {
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) {
      const int nx = x + kTraceOrder[i].dx;
      const BYTE* row = Row(y + kTraceOrder[i].dy);
      if (m_trueColour ? Matches(RGB(row[3 * nx + 2], row[3 * nx + 1], row[3 * nx]))
                       : m_indexMatches[row[nx]])
        bits |= 1u << i;
    }
    return bits;
  }

 private:
  bool Matches(COLORREF pixel) const { return ColourDifference(pixel, m_colour) < m_threshold; }
  const BYTE* Row(int y) const {
    return m_bits + static_cast<std::size_t>(m_height - 1 - static_cast<UINT>(y)) * m_lineBytes;
  }

  const BYTE* m_bits;
  UINT m_height;
  UINT m_lineBytes;
  bool m_trueColour;
  COLORREF m_colour;
  int m_threshold;
  bool m_indexMatches[256] = {};
};

int CountBits(unsigned bits) {
  int count = 0;
  for (; bits; bits &= bits - 1) ++count;
  return count;
}

}  // namespace

int CImageDataModel::Trace() { return 1; }

short CImageDataModel::VecConnect(int x, int y, DWORD colour) {
  // A released record keeps its old size; without this test its absent
  // pixels would all read as distance 0 and match.
  if (!m_hDIB || !IsInterior(x, y, m_nWidth, m_nHeight)) return 0;
  const ColourMatcher matcher(m_pBits, m_pPalette, m_nHeight, m_nLineBytes, GetColorPixel(), colour,
                              ImageAccess::MatchThreshold(*this));
  return static_cast<short>(CountBits(matcher.Neighbours(x, y)));
}

short CImageDataModel::VecTrace(int x, int y, DWORD colour, POINT* points) {
  if (!points || !m_hDIB || !IsInterior(x, y, m_nWidth, m_nHeight)) return 0;
  const ColourMatcher matcher(m_pBits, m_pPalette, m_nHeight, m_nLineBytes, GetColorPixel(), colour,
                              ImageAccess::MatchThreshold(*this));

  // The trace never enters a position twice, so it ends on every image: it
  // moves to the first matching neighbour not yet entered, and ends when
  // there is none.
  VisitedSet visited(m_nWidth, m_nHeight);
  if (!visited.Insert(static_cast<UINT>(x), static_cast<UINT>(y))) return 0;

  short count = 0;
  for (;;) {
    // The outermost ring has no matching neighbours: the trace ends there.
    if (!IsInterior(x, y, m_nWidth, m_nHeight)) return count;
    const unsigned matches = matcher.Neighbours(x, y);
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
