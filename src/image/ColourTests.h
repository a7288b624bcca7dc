// The colour tests shared by the pixel access methods and the raster
// operations that scan whole images: colour distance, the colour match
// threshold and the background test, as the record's ColorDistance and
// IsBackground make them. (The pixels themselves are read through Raster.)
#ifndef ZENTREL_IMAGE_COLOURTESTS_H
#define ZENTREL_IMAGE_COLOURTESTS_H

#include <cstdlib>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

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

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_COLOURTESTS_H
