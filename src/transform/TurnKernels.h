// The pixel moves of the quarter turns, in cache-sized tiles.
#ifndef ZENTREL_TRANSFORM_TURNKERNELS_H
#define ZENTREL_TRANSFORM_TURNKERNELS_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

enum class Turn { kLeft, kRight };

/// Writes a quarter turn of the width × height pixels of pixelBytes bytes
/// (1 or 3) stored bottom-up at src, srcLine bytes per row, into dst: width
/// rows of height pixels, dstLine bytes apart. A pixel of stored row i,
/// column j goes to
///   kLeft:  stored row j,             column height − 1 − i;
///   kRight: stored row width − 1 − j, column i.
/// Only those pixel bytes are read and written; src and dst must not overlap.
void TurnPixels(const BYTE* src, std::size_t srcLine, std::uint32_t width, std::uint32_t height,
                std::uint32_t pixelBytes, BYTE* dst, std::size_t dstLine, Turn turn);

/// Turns the side × side pixels at bits (line bytes per row) in place, in
/// rings of four blocks that change places, so that no scratch image is
/// needed. Row padding is not touched.
void TurnSquareInPlace(BYTE* bits, std::size_t line, std::uint32_t side, std::uint32_t pixelBytes,
                       Turn turn);

}  // namespace zentrel::detail

#endif  // ZENTREL_TRANSFORM_TURNKERNELS_H
