// The background test over whole rows of a 24-bit image, one bit per pixel,
// and the outline and shrink passes of 24-bit images built on it.
#ifndef ZENTREL_CLEANUP_BACKGROUNDBITS_H
#define ZENTREL_CLEANUP_BACKGROUNDBITS_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"
#include "cleanup/InPlaceRaster.h"

namespace zentrel::detail::cleanup {

/// Words of 64 pixel bits for a row of width pixels.
inline std::size_t BitWords(UINT width) { return (static_cast<std::size_t>(width) + 63) / 64; }

/// The background test of a record (background colour, precision) applied
/// to rows of 24-bit pixels (blue, green, red).
class BackgroundBits {
 public:
  /// The ways through a row, the widest chosen where the processor has it;
  /// all give the same bits.
  enum class Path { kByPixel, kSse2, kAvx2, kAvx512 };

  /// widest limits the way taken (a lower one is used where the build or
  /// the processor lacks it).
  BackgroundBits(COLORREF background, int precision, Path widest = Path::kAvx512);

  /// Sets bit x % 64 of bits[x / 64] when pixel x of row is background, for
  /// x < width; the bits past width are 0. bits holds BitWords(width) words.
  void Row(const BYTE* row, UINT width, std::uint64_t* bits) const;

  /// The test on one colour, as the record's IsBackground makes it.
  bool IsBackground(COLORREF colour) const;

 private:
  void RowByPixel(const BYTE* row, UINT from, UINT width, std::uint64_t* bits) const;

  COLORREF m_background;
  int m_precision;
  int m_sumLimit;
  // The test is made per channel (see the constructor) when this is set.
  bool m_channelsDecide;
  Path m_path;
};

/// Edge on a 24-bit raster: paints mark over every interior non-background
/// pixel with a background diagonal neighbour, in raster order, each test
/// seeing the pixels painted before it. Needs no memory; false (nothing
/// changed) for rows wider than 16384 pixels.
bool MarkOutlinesTrueColour(const Raster& rows, const BackgroundBits& test, COLORREF mark);

/// Shrink on a 24-bit raster: gives every interior non-background pixel with
/// a background neighbour among its eight the colour written, in raster
/// order, each test seeing the pixels written before it. Needs no memory;
/// false (nothing changed) for rows wider than 16384 pixels.
bool ShrinkTrueColour(const Raster& rows, const BackgroundBits& test, COLORREF written);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_BACKGROUNDBITS_H
