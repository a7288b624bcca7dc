// Region measuring: the extent of the patch of colour around a seed pixel,
// found by growing a rectangle until none of its sides touches that colour.
#include <cstdint>

#include "ImageDataModel.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr int kGrowth = 3;        // pixels added to each side per pass
constexpr int kWidthLimit = 100;  // growth stops once right − left reaches this
constexpr int kMargin = 1;        // added to each side at the end

/// The rectangle's sides as 64-bit values, so that growing never overflows.
struct Bounds {
  std::int64_t left, top, right, bottom;
};

/// Grows each side by amount, clamped to the image.
void Grow(Bounds& b, int amount, std::int64_t width, std::int64_t height) {
  b.left -= amount;
  b.top -= amount;
  b.right += amount;
  b.bottom += amount;
  if (b.left < 0) b.left = 0;
  if (b.top < 0) b.top = 0;
  if (b.right >= width) b.right = width - 1;
  if (b.bottom >= height) b.bottom = height - 1;
}

/// Tests the colour against the region colour on the rectangle's outline.
class SideTest {
 public:
  SideTest(const Raster& rows, COLORREF colour, int threshold)
      : m_rows(rows), m_colour(colour), m_threshold(threshold) {}

  bool Matches(std::int64_t x, std::int64_t y) const {
    const COLORREF pixel = m_rows.Colour(static_cast<UINT>(x), static_cast<UINT>(y));
    return ColourDifference(m_colour, pixel) < m_threshold;
  }
  /// True when no pixel of row y from left to right matches.
  bool RowClear(std::int64_t y, std::int64_t left, std::int64_t right) const {
    for (std::int64_t x = left; x <= right; ++x)
      if (Matches(x, y)) return false;
    return true;
  }
  /// True when no pixel of column x from top to bottom matches.
  bool ColumnClear(std::int64_t x, std::int64_t top, std::int64_t bottom) const {
    for (std::int64_t y = top; y <= bottom; ++y)
      if (Matches(x, y)) return false;
    return true;
  }

 private:
  const Raster& m_rows;
  COLORREF m_colour;
  int m_threshold;
};

}  // namespace
}  // namespace zentrel::detail

DWORD CImageDataModel::GetMinRegion(POINT seed, CRect& rect) {
  rect = CRect(seed.x, seed.y, seed.x, seed.y);
  // A seed outside the image, or no image at all, is refused before any
  // pixel is read: the background test below has no bounds check of its own.
  const UINT seedX = static_cast<UINT>(seed.x);
  const UINT seedY = static_cast<UINT>(seed.y);
  // A header that no longer fits the block leaves the raster empty.
  const Raster rows = ImageAccess::Checked(*this);
  if (!rows.Contains(seedX, seedY)) return 0;

  const COLORREF colour = GetPixel(seed, 5, 5);
  if (ImageAccess::Background(*this)(rows.Colour(seedX, seedY))) return colour;

  const SideTest side(rows, colour, ImageAccess::MatchThreshold(*this));
  const std::int64_t width = rows.width;
  const std::int64_t height = rows.height;
  Bounds b{seed.x, seed.y, seed.x, seed.y};
  for (;;) {
    Grow(b, kGrowth, width, height);
    // A side on the image's edge is clear without being looked at. The sides
    // are tested top, bottom, left, right; the first one touching the colour
    // decides that the rectangle grows on.
    const bool clear = (b.top == 0 || side.RowClear(b.top, b.left, b.right)) &&
                       (b.bottom == height - 1 || side.RowClear(b.bottom, b.left, b.right)) &&
                       (b.left == 0 || side.ColumnClear(b.left, b.top, b.bottom)) &&
                       (b.right == width - 1 || side.ColumnClear(b.right, b.top, b.bottom));
    if (clear || b.right - b.left >= kWidthLimit) break;
  }
  Grow(b, kMargin, width, height);
  rect = CRect(static_cast<int>(b.left), static_cast<int>(b.top), static_cast<int>(b.right),
               static_cast<int>(b.bottom));
  return colour;
}
