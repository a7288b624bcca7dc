// Row-addressed background tests and pixel writes for the outline and shrink
// passes, which rewrite an image in raster order while later tests read the
// pixels already written.
#ifndef ZENTREL_CLEANUP_INPLACERASTER_H
#define ZENTREL_CLEANUP_INPLACERASTER_H

#include <cstddef>

#include "image/ColourTests.h"
#include "image/Raster.h"

namespace zentrel::detail::cleanup {

using zentrel::detail::Raster;

/// An 8-bit image. A pixel's colour is its colour-table entry, and a write
/// rewrites that entry (as SetPixel does), recolouring every pixel sharing
/// the index. The background test is therefore kept per index and updated
/// on each write, so every test sees the table in its current state.
class IndexedRaster {
 public:
  IndexedRaster(RGBQUAD* table, const BackgroundTest& isBackground, COLORREF written)
      : m_table(table), m_written(written), m_writtenIsBackground(isBackground(written)) {
    for (int i = 0; i < 256; ++i) {
      m_indexIsBackground[i] = isBackground(TableColour(table[i]));
    }
  }

  bool IsBackground(const BYTE* row, UINT x) const { return m_indexIsBackground[row[x]]; }

  /// Gives pixel x of row the colour passed at construction.
  void Write(BYTE* row, UINT x) {
    const BYTE index = row[x];
    WriteTableColour(m_table[index], m_written);
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
      : m_isBackground(isBackground), m_written(written) {}

  bool IsBackground(const BYTE* row, UINT x) const {
    return m_isBackground(TrueColourAt(row + 3 * static_cast<std::size_t>(x)));
  }

  /// Gives pixel x of row the colour passed at construction.
  void Write(BYTE* row, UINT x) const {
    WriteTrueColour(row + 3 * static_cast<std::size_t>(x), m_written);
  }

 private:
  BackgroundTest m_isBackground;
  COLORREF m_written;
};

/// Runs pass(pixels) with the pixel tests for the raster's depth: 24-bit
/// pixels on their own, else through the colour table. Pixels written get
/// written.
template <class Pass>
void WithRaster(const Raster& rows, const BackgroundTest& isBackground, COLORREF written,
                Pass&& pass) {
  if (rows.TrueColour()) {
    TrueColourRaster pixels(isBackground, written);
    pass(pixels);
  } else {
    IndexedRaster pixels(rows.table, isBackground, written);
    pass(pixels);
  }
}

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_INPLACERASTER_H
