// Row-addressed background tests and pixel writes for the outline and shrink
// passes, which rewrite an image in raster order while later tests read the
// pixels already written.
#ifndef ZENTREL_CLEANUP_INPLACERASTER_H
#define ZENTREL_CLEANUP_INPLACERASTER_H

#include <cstddef>

#include "image/PixelView.h"

namespace cleanup {

/// Geometry of a held image's pixel rows (bottom-up, as stored).
struct RasterRows {
  BYTE* bits;
  UINT height;
  UINT lineBytes;

  /// The stored row of image row y (y from the top).
  BYTE* Row(UINT y) const { return bits + static_cast<std::size_t>(height - 1 - y) * lineBytes; }
};

/// An 8-bit image. A pixel's colour is its colour-table entry, and a write
/// rewrites that entry (as SetPixel does), recolouring every pixel sharing
/// the index. The background test is therefore kept per index and updated
/// on each write, so every test sees the table in its current state.
class IndexedRaster {
 public:
  IndexedRaster(RGBQUAD* table, const BackgroundTest& isBackground, COLORREF written)
      : m_table(table), m_written(written), m_writtenIsBackground(isBackground(written)) {
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& entry = table[i];
      m_indexIsBackground[i] = isBackground(RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue));
    }
  }

  bool IsBackground(const BYTE* row, UINT x) const { return m_indexIsBackground[row[x]]; }

  /// Gives pixel x of row the colour passed at construction.
  void Write(BYTE* row, UINT x) {
    const BYTE index = row[x];
    RGBQUAD& entry = m_table[index];
    entry.rgbRed = GetRValue(m_written);
    entry.rgbGreen = GetGValue(m_written);
    entry.rgbBlue = GetBValue(m_written);
    m_indexIsBackground[index] = m_writtenIsBackground;
  }

 private:
  RGBQUAD* m_table;
  COLORREF m_written;
  bool m_writtenIsBackground;
  bool m_indexIsBackground[256];
};

/// A 24-bit image: each pixel holds its own blue, green and red bytes.
class TrueColourRaster {
 public:
  TrueColourRaster(const BackgroundTest& isBackground, COLORREF written)
      : m_isBackground(isBackground),
        m_blue(GetBValue(written)),
        m_green(GetGValue(written)),
        m_red(GetRValue(written)) {}

  bool IsBackground(const BYTE* row, UINT x) const {
    const BYTE* p = row + 3 * static_cast<std::size_t>(x);
    return m_isBackground(RGB(p[2], p[1], p[0]));
  }

  /// Gives pixel x of row the colour passed at construction.
  void Write(BYTE* row, UINT x) const {
    BYTE* p = row + 3 * static_cast<std::size_t>(x);
    p[0] = m_blue;
    p[1] = m_green;
    p[2] = m_red;
  }

 private:
  BackgroundTest m_isBackground;
  BYTE m_blue;
  BYTE m_green;
  BYTE m_red;
};

/// Runs pass(raster) with the raster for the image's depth: 24-bit pixels
/// on their own, else through the colour table. Pixels written get written.
template <class Pass>
void WithRaster(int bitsPerPixel, RGBQUAD* table, const BackgroundTest& isBackground,
                COLORREF written, Pass&& pass) {
  if (bitsPerPixel == 24) {
    TrueColourRaster raster(isBackground, written);
    pass(raster);
  } else {
    IndexedRaster raster(table, isBackground, written);
    pass(raster);
  }
}

}  // namespace cleanup

#endif  // ZENTREL_CLEANUP_INPLACERASTER_H
