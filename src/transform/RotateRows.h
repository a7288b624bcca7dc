// The source positions and pixel copies of a run of one turned row, eight
// pixels a step with AVX2 where the processor has it.
#ifndef ZENTREL_TRANSFORM_ROTATEROWS_H
#define ZENTREL_TRANSFORM_ROTATEROWS_H

#include <cstddef>
#include <cstdint>

namespace zentrel::detail::rotation {

/// One destination row of a turn. Pixel k of the run takes the source pixel
/// at stored row trunc((dxs[k] + dyc) + cy) and column trunc((dxc[k] − dys)
/// + cx), the sums formed in that order in double precision.
struct TurnedRow {
  const std::uint8_t* source;  // the bottom stored row of the unturned image
  std::size_t lineBytes;       // bytes per stored row
  std::size_t pixelBytes;      // 1 or 3
  const double* dxs;           // (j − cx) × sin per pixel of the run
  const double* dxc;           // (j − cx) × cos per pixel of the run
  double dyc;                  // (i − cy) × cos
  double dys;                  // (i − cy) × sin
  double cy;
  double cx;
};

/// Whether the wide copy may be used for an image whose pixel rows take
/// areaBytes bytes with readableBytes bytes readable from the first: the
/// processor has AVX2, every source offset fits in 31 bits, and the four
/// bytes read for the last pixel of the image stay readable.
bool WideTurnUsable(std::size_t areaBytes, std::size_t readableBytes);

/// Copies the pixels k = first .. end − 1 of the row to out + k × pixelBytes,
/// all of whose source positions lie inside the image, as far as whole steps
/// of eight reach; returns the first k not copied. Bytes of pixels not yet
/// copied (up to end) may be overwritten. Only where WideTurnUsable.
std::size_t CopyTurnedPixelsWide(const TurnedRow& row, std::size_t first, std::size_t end,
                                 std::uint8_t* out);

}  // namespace zentrel::detail::rotation

#endif  // ZENTREL_TRANSFORM_ROTATEROWS_H
