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
  /// tableEntries: the colour-table entries the block holds before bits.
  ColourMatcher(const BYTE* bits, const RGBQUAD* palette, std::size_t tableEntries, UINT height,
                UINT lineBytes, int depth, COLORREF colour, int threshold)
      : m_bits(bits),
        m_palette(palette),
        m_height(height),
        m_lineBytes(lineBytes),
        m_trueColour(depth == 24),
        m_colour(colour),
        m_threshold(threshold),
        // An 8-bit pixel matches when its colour-table entry does, so each
        // entry is tested once. A block whose depth was restated without a
        // full table is read pixel by pixel instead, as GetPixel does.
        m_useTable(!m_trueColour && tableEntries >= 256) {
    if (m_useTable) {
      for (int i = 0; i < 256; ++i) m_indexMatches[i] = Matches(EntryColour(static_cast<BYTE>(i)));
    }
  }

  /// Bit i is set when neighbour i (in trace order) of the interior pixel
  /// (x, y) matches. All eight are tested.
  unsigned Neighbours(int x, int y) const {
    if (m_trueColour) return Scan<kTrueColour>(x, y);
    return m_useTable ? Scan<kIndexTable>(x, y) : Scan<kIndexEntry>(x, y);
  }

 private:
  enum Reading { kTrueColour, kIndexTable, kIndexEntry };

  template <Reading kReading>
  unsigned Scan(int x, int y) const {
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) {
      const std::size_t nx = static_cast<std::size_t>(x + kTraceOrder[i].dx);
      const BYTE* row = Row(y + kTraceOrder[i].dy);
      bool match;
      if (kReading == kTrueColour) {
        match = Matches(RGB(row[3 * nx + 2], row[3 * nx + 1], row[3 * nx]));
      } else if (kReading == kIndexTable) {
        match = m_indexMatches[row[nx]];
      } else {
        match = Matches(EntryColour(row[nx]));
      }
      if (match) bits |= 1u << i;
    }
    return bits;
  }

  bool Matches(COLORREF pixel) const { return ColourDifference(pixel, m_colour) < m_threshold; }
  COLORREF EntryColour(BYTE index) const {
    const RGBQUAD& entry = m_palette[index];
    return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
  }
  const BYTE* Row(int y) const {
    return m_bits + static_cast<std::size_t>(m_height - 1 - static_cast<UINT>(y)) * m_lineBytes;
  }

  const BYTE* m_bits;
  const RGBQUAD* m_palette;
  UINT m_height;
  UINT m_lineBytes;
  bool m_trueColour;
  COLORREF m_colour;
  int m_threshold;
  bool m_useTable;
  bool m_indexMatches[256] = {};
};

/// Number of colour-table entries between the table's start and the pixels.
std::size_t TableEntries(const RGBQUAD* palette, const BYTE* bits) {
  return static_cast<std::size_t>(bits - reinterpret_cast<const BYTE*>(palette)) / sizeof(RGBQUAD);
}

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
  const ColourMatcher matcher(m_pBits, m_pPalette, TableEntries(m_pPalette, m_pBits), m_nHeight,
                              m_nLineBytes, GetColorPixel(), colour,
                              ImageAccess::MatchThreshold(*this));
  return static_cast<short>(CountBits(matcher.Neighbours(x, y)));
}

short CImageDataModel::VecTrace(int x, int y, DWORD colour, POINT* points) {
  if (!points || !m_hDIB || !IsInterior(x, y, m_nWidth, m_nHeight)) return 0;
  const ColourMatcher matcher(m_pBits, m_pPalette, TableEntries(m_pPalette, m_pBits), m_nHeight,
                              m_nLineBytes, GetColorPixel(), colour,
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
