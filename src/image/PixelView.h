// Direct, inline reads of the pixels of a packed DIB, shared by the pixel
// access methods and the raster operations that scan whole images. Every
// result is the one the record's GetPixel, ColorDistance and IsBackground
// give; callers pass only positions inside the image.
#ifndef ZENTREL_IMAGE_PIXELVIEW_H
#define ZENTREL_IMAGE_PIXELVIEW_H

#include <cstddef>
#include <cstdlib>

#include "ZentrelPlatform.h"

/// Colour match threshold of the outline, tracing and region operations:
/// precision × 3.6, truncated.
inline int ColourMatchThreshold(int precision) { return static_cast<int>(precision * 3.6); }

/// Sum of the absolute channel differences of two colours, 0..765.
inline int ColourDifference(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
         std::abs(GetBValue(a) - GetBValue(b));
}

/// The background test on a colour: every channel within precision − 1 of
/// the background and the sum below precision × 3.7 truncated.
class BackgroundTest {
 public:
  BackgroundTest(COLORREF background, int precision)
      : m_background(background),
        m_precision(precision),
        m_sumLimit(static_cast<int>(precision * 3.7)) {}

  bool operator()(COLORREF colour) const {
    int dr = std::abs(GetRValue(m_background) - GetRValue(colour));
    int dg = std::abs(GetGValue(m_background) - GetGValue(colour));
    int db = std::abs(GetBValue(m_background) - GetBValue(colour));
    return dr + dg + db < m_sumLimit && dr < m_precision && dg < m_precision && db < m_precision;
  }

 private:
  COLORREF m_background;
  int m_precision;
  int m_sumLimit;
};

/// A read-only view of the pixel rows of a held image.
class PixelView {
 public:
  PixelView(const BYTE* bits, const RGBQUAD* palette, UINT width, UINT height, UINT lineBytes,
            int depth)
      : m_bits(bits),
        m_palette(palette),
        m_width(width),
        m_height(height),
        m_lineBytes(lineBytes),
        m_trueColour(depth == 24) {}

  UINT Width() const { return m_width; }
  UINT Height() const { return m_height; }
  bool Contains(UINT x, UINT y) const { return x < m_width && y < m_height; }

  /// The colour of pixel (x, y), which must lie inside the image.
  COLORREF Colour(UINT x, UINT y) const {
    const BYTE* row = m_bits + static_cast<std::size_t>(m_height - 1 - y) * m_lineBytes;
    if (m_trueColour) {
      const BYTE* p = row + 3 * static_cast<std::size_t>(x);
      return RGB(p[2], p[1], p[0]);
    }
    const RGBQUAD& entry = m_palette[row[x]];
    return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
  }

 private:
  const BYTE* m_bits;
  const RGBQUAD* m_palette;
  UINT m_width;
  UINT m_height;
  UINT m_lineBytes;
  bool m_trueColour;
};

#endif  // ZENTREL_IMAGE_PIXELVIEW_H
