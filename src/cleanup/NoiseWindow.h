// The geometry shared by the noise filters: the grey samples of an 8-bit
// image, the W × H window of each filtered pixel, and the clamping that
// keeps even windows inside the image.
#ifndef ZENTREL_CLEANUP_NOISEWINDOW_H
#define ZENTREL_CLEANUP_NOISEWINDOW_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"
#include "image/Raster.h"

namespace zentrel::detail::cleanup {

/// Exact division of numerators below 2^16 by a divisor of 1..2^16 through
/// one multiplication: with M = ceil(2^32 / d) and e = M·d − 2^32 < d, the
/// product s·M / 2^32 exceeds s / d by s·e / (d·2^32) < 1/d, which never
/// carries the quotient past the next integer.
class ExactDivider {
 public:
  explicit ExactDivider(std::uint32_t divisor)
      : m_multiplier(((std::uint64_t{1} << 32) + divisor - 1) / divisor) {}
  /// numerator / divisor for 0 ≤ numerator < 2^16.
  int operator()(int numerator) const {
    // Through 32 bits the widening is a plain zero extension.
    const std::uint32_t n = static_cast<std::uint32_t>(numerator);
    return static_cast<int>((static_cast<std::uint64_t>(n) * m_multiplier) >> 32);
  }

 private:
  std::uint64_t m_multiplier;
};

/// Exact division of window sums s ≤ 255·n by n (2 ≤ n ≤ 100) in 16-bit
/// lanes: s / n = ((s × M) >> 16) >> shift with M = ceil(2^k / n) < 2^16,
/// k = 16 + shift. With e = M·n − 2^k < n the product overshoots s / n by
/// s·e / (n·2^k) < 1/n whenever s·e < 2^k, which 2^k > 255·n·(n − 1)
/// guarantees; such a k with M < 2^16 exists for every n ≤ 100.
struct LaneDivider {
  explicit LaneDivider(int n) {
    int k = 16;
    while ((std::int64_t{1} << k) <= 255 * static_cast<std::int64_t>(n) * (n - 1)) ++k;
    multiplier = static_cast<std::uint16_t>(((std::int64_t{1} << k) + n - 1) / n);
    shift = k - 16;
  }
  std::uint16_t multiplier;
  int shift;
};

/// The pixel rows of an 8-bit image and the filter window. The window of
/// pixel (x, y) covers columns x − hw .. x − hw + W − 1 and rows
/// y − hh .. y − hh + H − 1. An even window reaches one column (row) past the
/// right (bottom) edge for the last pixel of a row (the last row); that
/// sample reads the edge column (row) as it currently stands.
struct NoiseWindow {
  Raster rows;            // 8 bits a sample
  std::ptrdiff_t width;   // rows.width, signed for the window sums
  std::ptrdiff_t height;  // rows.height
  int w;
  int h;
  int hw;  // (W − 1) / 2
  int hh;  // (H − 1) / 2

  int Samples() const { return w * h; }
  /// The range of filtered pixels: hw ≤ x < width − hw, hh ≤ y < height − hh.
  std::ptrdiff_t FirstX() const { return hw; }
  std::ptrdiff_t EndX() const { return width - hw; }
  std::ptrdiff_t FirstY() const { return hh; }
  std::ptrdiff_t EndY() const { return height - hh; }
  bool Empty() const { return EndX() <= FirstX() || EndY() <= FirstY(); }

  std::ptrdiff_t ClampColumn(std::ptrdiff_t x) const { return x < width ? x : width - 1; }
  std::ptrdiff_t ClampRow(std::ptrdiff_t y) const { return y < height ? y : height - 1; }
  /// The stored bytes of image row y (y from the top).
  BYTE* Row(std::ptrdiff_t y) const { return rows.RowFromTop(static_cast<std::size_t>(y)); }
  /// How often row y takes part in the windows of its own pixels: once, or
  /// twice when an even window's clamped extra row is row y itself.
  int RowMultiplicity(std::ptrdiff_t y) const {
    int count = 0;
    for (int r = 0; r < h; ++r) count += ClampRow(y - hh + r) == y ? 1 : 0;
    return count;
  }
};

/// The W × H window over a raster's samples.
inline NoiseWindow MakeNoiseWindow(const Raster& rows, int w, int h) {
  return NoiseWindow{rows,
                     static_cast<std::ptrdiff_t>(rows.width),
                     static_cast<std::ptrdiff_t>(rows.height),
                     w,
                     h,
                     (w - 1) / 2,
                     (h - 1) / 2};
}

/// Types 0, 1 and 4, through running column sums. False when the scratch
/// row cannot be allocated (the image is then unchanged).
bool RunMeanFilter(const NoiseWindow& window, int type);
/// Types 2 (mean of the k nearest values) and 3 (median): 3 × 3 windows on
/// their own kernels, the others through the window's samples other than
/// the own row's written ones where that is faster, else a sliding
/// histogram of the window.
void RunRankFilter(const NoiseWindow& window, int k, int type);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_NOISEWINDOW_H
