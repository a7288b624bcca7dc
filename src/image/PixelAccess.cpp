// Pixel access and colour tests: single pixels as colour values, the mean
// colour of a window, colour distance and the background test.
#include <algorithm>
#include <cstdint>

#include "ImageDataModel.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

COLORREF CImageDataModel::GetPixel(UINT x, UINT y) const {
  // An empty raster (no image, or a header whose depth no longer fits the
  // block) contains no position.
  const ImageAccess::Raster raster = ImageAccess::Pixels(*this);
  if (!raster.Contains(x, y)) return 0;
  return raster.Colour(x, y);
}

COLORREF CImageDataModel::GetPixel(POINT point) const {
  return GetPixel(static_cast<UINT>(point.x), static_cast<UINT>(point.y));
}

COLORREF CImageDataModel::GetPixel(UINT x, UINT y, int dx, int dy) const {
  const ImageAccess::Raster raster = ImageAccess::Pixels(*this);
  if (raster.Empty()) return 0;
  // average-sums-64bit: the centre is taken as the signed value the caller's
  // coordinate stands for, and the window is formed in 64 bits so that no
  // argument overflows.
  const std::int64_t cx = static_cast<std::int32_t>(x);
  const std::int64_t cy = static_cast<std::int32_t>(y);
  std::int64_t x0 = cx - dx, x1 = cx + dx;
  std::int64_t y0 = cy - dy, y1 = cy + dy;
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 >= static_cast<std::int64_t>(raster.width))
    x1 = static_cast<std::int64_t>(raster.width) - 1;
  if (y1 >= static_cast<std::int64_t>(raster.height))
    y1 = static_cast<std::int64_t>(raster.height) - 1;

  const BackgroundTest isBackground = ImageAccess::Background(*this);
  // 64-bit sums (average-sums-64bit): a window of more than 16 million
  // pixels would wrap 32 bits.
  std::uint64_t red = 0, green = 0, blue = 0, count = 0;
  for (std::int64_t yy = y0; yy <= y1; ++yy) {
    for (std::int64_t xx = x0; xx <= x1; ++xx) {
      const COLORREF colour = raster.Colour(static_cast<UINT>(xx), static_cast<UINT>(yy));
      if (isBackground(colour)) continue;
      red += GetRValue(colour);
      green += GetGValue(colour);
      blue += GetBValue(colour);
      ++count;
    }
  }
  if (count > 0) {
    red /= count;
    green /= count;
    blue /= count;
  }
  return RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue));
}

COLORREF CImageDataModel::GetPixel(POINT point, int dx, int dy) const {
  return GetPixel(static_cast<UINT>(point.x), static_cast<UINT>(point.y), dx, dy);
}

void CImageDataModel::SetPixel(UINT x, UINT y, COLORREF colour) {
  // The hottest entry point: the record's own size and row length index
  // the rows, and each depth is compared with the block's layout on its own
  // path (header-must-fit-block), as ImageAccess::Pixels does for reads.
  // The header pointer is null exactly when the record holds no block; it
  // is tested in place of the handle because it is loaded anyway.
  const BITMAPINFOHEADER* const header = m_pBmh;
  if (!header || x >= m_nWidth || y >= m_nHeight) return;
  // y < m_nHeight, so the stored row is formed in 32 bits without wrapping.
  BYTE* const bits = m_pBits;
  BYTE* const row = bits + static_cast<std::size_t>(StoredRowOf(m_nHeight, y)) * m_nLineBytes;
  const WORD depth = header->biBitCount;
  if (ZENTREL_USUALLY(depth == 24 && reinterpret_cast<BYTE*>(m_pPalette) == bits)) {
    WriteTrueColour(row + 3 * static_cast<std::size_t>(x), colour);
    return;
  }
  if (ZENTREL_RARELY(depth != 8 || BlockDepth(m_pPalette, bits) != 8)) return;
  // An 8-bit pixel keeps its index; the colour-table entry it uses changes.
  WriteTableColour(m_pPalette[row[x]], colour);
}

void CImageDataModel::SetPixel(POINT point, COLORREF colour) {
  SetPixel(static_cast<UINT>(point.x), static_cast<UINT>(point.y), colour);
}

int CImageDataModel::SetPixelFromGrid(UINT rows, UINT columns, const COLORREF* grid) {
  if (!grid) return 1;
  const UINT rowCount = std::min(rows, m_nHeight);
  const UINT columnCount = std::min(columns, m_nWidth);
  // The grid keeps the caller's row length even where the image is narrower.
  for (UINT r = 0; r < rowCount; ++r)
    for (UINT c = 0; c < columnCount; ++c)
      SetPixel(c, r, grid[static_cast<std::size_t>(r) * columns + c]);
  return 1;
}

int CImageDataModel::ColorDistance(UINT x, UINT y, COLORREF colour) const {
  const ImageAccess::Raster raster = ImageAccess::Pixels(*this);
  if (!raster.Contains(x, y)) return 0;
  return ColourDifference(colour, raster.Colour(x, y));
}

int CImageDataModel::IsBackground(UINT x, UINT y) const {
  // Outside the image (or without one) the test sees colour 0, the value
  // GetPixel reports there, and nothing is read.
  return ImageAccess::Background(*this)(GetPixel(x, y)) ? 1 : 0;
}

int CImageDataModel::IsBackground(POINT point) const {
  return IsBackground(static_cast<UINT>(point.x), static_cast<UINT>(point.y));
}
