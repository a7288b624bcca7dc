// Shrinking: one in-place pass that turns every interior foreground pixel
// touching the background (any of its eight neighbours) into background.
#include "ImageDataModel.h"
#include "cleanup/BackgroundBits.h"
#include "cleanup/InPlaceRaster.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

/// Rows from the top, each from the left; a pixel cleared early is
/// background for every later test, so removal spreads right and down.
template <class Pixels>
void ShrinkRegions(Pixels& pixels, const cleanup::Raster& rows) {
  for (UINT y = 1; y + 1 < rows.height; ++y) {
    const BYTE* above = rows.RowFromTop(y - 1);
    BYTE* row = rows.RowFromTop(y);
    const BYTE* below = rows.RowFromTop(y + 1);
    for (UINT x = 1; x + 1 < rows.width; ++x) {
      if (pixels.IsBackground(row, x)) continue;
      // The eight neighbours clockwise from the top left. The tests have no
      // side effects, so stopping at the first background one changes
      // nothing.
      if (pixels.IsBackground(above, x - 1) || pixels.IsBackground(above, x) ||
          pixels.IsBackground(above, x + 1) || pixels.IsBackground(row, x + 1) ||
          pixels.IsBackground(below, x + 1) || pixels.IsBackground(below, x) ||
          pixels.IsBackground(below, x - 1) || pixels.IsBackground(row, x - 1))
        pixels.Write(row, x);
    }
  }
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::Shrink() {
  const cleanup::Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  // 24-bit images go row by row through background bits; the pixel by pixel
  // pass stays for 8-bit images and rows too wide for the bits.
  if (rows.TrueColour() &&
      cleanup::ShrinkTrueColour(rows, cleanup::BackgroundBits(m_crBackground, m_nPrecision),
                                m_crBackground))
    return 1;
  cleanup::WithRaster(rows, ImageAccess::Background(*this), m_crBackground,
                      [&](auto& pixels) { ShrinkRegions(pixels, rows); });
  return 1;
}
