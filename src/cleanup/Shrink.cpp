// Shrinking: one in-place pass that turns every interior foreground pixel
// touching the background (any of its eight neighbours) into background.
#include "ImageDataModel.h"
#include "cleanup/BackgroundBits.h"
#include "cleanup/InPlaceRaster.h"
#include "image/ImageAccess.h"

namespace {

/// Rows from the top, each from the left; a pixel cleared early is
/// background for every later test, so removal spreads right and down.
template <class Raster>
void ShrinkRegions(Raster& raster, const cleanup::RasterRows& rows, UINT width) {
  for (UINT y = 1; y + 1 < rows.height; ++y) {
    const BYTE* above = rows.Row(y - 1);
    BYTE* row = rows.Row(y);
    const BYTE* below = rows.Row(y + 1);
    for (UINT x = 1; x + 1 < width; ++x) {
      if (raster.IsBackground(row, x)) continue;
      // The eight neighbours clockwise from the top left. The tests have no
      // side effects, so stopping at the first background one changes
      // nothing.
      if (raster.IsBackground(above, x - 1) || raster.IsBackground(above, x) ||
          raster.IsBackground(above, x + 1) || raster.IsBackground(row, x + 1) ||
          raster.IsBackground(below, x + 1) || raster.IsBackground(below, x) ||
          raster.IsBackground(below, x - 1) || raster.IsBackground(row, x - 1))
        raster.Write(row, x);
    }
  }
}

}  // namespace

int CImageDataModel::Shrink() {
  if (IsEmpty()) return 0;
  const cleanup::RasterRows rows{m_pBits, m_nHeight, m_nLineBytes};
  // 24-bit images go row by row through background bits; the pixel by pixel
  // pass stays for 8-bit images and rows too wide for the bits.
  if (GetColorPixel() == 24 &&
      cleanup::ShrinkTrueColour(
          rows, m_nWidth, cleanup::BackgroundBits(m_crBackground, m_nPrecision), m_crBackground))
    return 1;
  cleanup::WithRaster(GetColorPixel(), m_pPalette, ImageAccess::Background(*this), m_crBackground,
                      [&](auto& raster) { ShrinkRegions(raster, rows, m_nWidth); });
  return 1;
}
