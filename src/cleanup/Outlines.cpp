// Outline tests and outline marking: a pixel lies on the outline of its
// region when it is on the image border or one of its four diagonal
// neighbours falls outside the region. Side neighbours are never consulted.
#include "ImageDataModel.h"
#include "cleanup/BackgroundBits.h"
#include "cleanup/InPlaceRaster.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

/// The colour outline pixels are painted in: pure red.
constexpr COLORREF kMarkColour = 0xFF;

/// Paints every interior non-background pixel with a background diagonal
/// neighbour, row by row from the top, each row from the left. Each test
/// sees the pixels painted before it.
template <class Pixels>
void MarkOutlines(Pixels& pixels, const cleanup::Raster& rows) {
  for (UINT y = 1; y + 1 < rows.height; ++y) {
    const BYTE* above = rows.RowFromTop(y - 1);
    BYTE* row = rows.RowFromTop(y);
    const BYTE* below = rows.RowFromTop(y + 1);
    for (UINT x = 1; x + 1 < rows.width; ++x) {
      if (pixels.IsBackground(row, x)) continue;
      if (pixels.IsBackground(above, x - 1) || pixels.IsBackground(above, x + 1) ||
          pixels.IsBackground(below, x - 1) || pixels.IsBackground(below, x + 1))
        pixels.Write(row, x);
    }
  }
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::IsEdge(UINT x, UINT y, COLORREF colour) {
  // An empty record has no outline. Outside a held image the distance reads
  // 0, so such a position matches and counts as border: 1. A header that no
  // longer fits the block makes the record act as empty.
  if (ImageAccess::Pixels(*this).Empty()) return 0;
  const int threshold = ImageAccess::MatchThreshold(*this);
  if (ColorDistance(x, y, colour) >= threshold) return 0;
  if (x == 0 || x >= m_nWidth - 1 || y == 0 || y >= m_nHeight - 1) return 1;
  return ColorDistance(x - 1, y - 1, colour) >= threshold ||
                 ColorDistance(x + 1, y - 1, colour) >= threshold ||
                 ColorDistance(x - 1, y + 1, colour) >= threshold ||
                 ColorDistance(x + 1, y + 1, colour) >= threshold
             ? 1
             : 0;
}

int CImageDataModel::IsEdge(UINT x, UINT y) {
  // A position outside the image, or an empty record (or one whose header
  // no longer fits the block), is no outline pixel; nothing is read.
  if (!ImageAccess::Pixels(*this).Contains(x, y)) return 0;
  if (IsBackground(x, y)) return 0;
  if (x == 0 || x >= m_nWidth - 1 || y == 0 || y >= m_nHeight - 1) return 1;
  return IsBackground(x - 1, y - 1) || IsBackground(x + 1, y - 1) || IsBackground(x - 1, y + 1) ||
                 IsBackground(x + 1, y + 1)
             ? 1
             : 0;
}

int CImageDataModel::Edge() {
  const cleanup::Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  // 24-bit images go row by row through background bits; the pixel by pixel
  // pass stays for 8-bit images and rows too wide for the bits.
  if (rows.TrueColour() &&
      cleanup::MarkOutlinesTrueColour(rows, cleanup::BackgroundBits(m_crBackground, m_nPrecision),
                                      kMarkColour))
    return 1;
  cleanup::WithRaster(rows, ImageAccess::Background(*this), kMarkColour,
                      [&](auto& pixels) { MarkOutlines(pixels, rows); });
  return 1;
}
