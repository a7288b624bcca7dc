// Quarter turns of square images in place. A turn moves every pixel along a
// ring of four positions; the image splits into four congruent regions that
// the turn carries onto one another, so taking the blocks of one region with
// their three images, and moving all four at once, turns the whole image.
#include <algorithm>
#include <cstring>

#include "transform/TurnKernels.h"

namespace zentrel::detail {

namespace {

constexpr std::size_t kBlock = 64;

/// A rectangle of pixels: first stored row and column, rows and columns.
struct Block {
  std::size_t row, column, rows, columns;
};

/// Where the turn carries a block of a side × side image.
Block Image(const Block& b, std::size_t side, Turn turn) {
  if (turn == Turn::kLeft)  // (i, j) goes to (j, side − 1 − i)
    return {b.column, side - b.row - b.rows, b.columns, b.rows};
  return {side - b.column - b.columns, b.row, b.columns, b.rows};  // to (side − 1 − j, i)
}

}  // namespace

void TurnSquareInPlace(BYTE* bits, std::size_t line, std::uint32_t side, std::uint32_t pixelBytes,
                       Turn turn) {
  // The region: rows 0..half−1 and columns 0..half−1, or 0..half for an odd
  // side, whose centre pixel stays where it is.
  const std::size_t half = side / 2;
  const std::size_t regionColumns = side - half;
  BYTE copies[4][kBlock * kBlock * 3];
  for (std::size_t r0 = 0; r0 < half; r0 += kBlock)
    for (std::size_t c0 = 0; c0 < regionColumns; c0 += kBlock) {
      Block ring[4];
      ring[0] = {r0, c0, std::min(kBlock, half - r0), std::min(kBlock, regionColumns - c0)};
      for (int k = 1; k < 4; ++k) ring[k] = Image(ring[k - 1], side, turn);
      // Copy the four blocks out, then write each turned into the next.
      for (int k = 0; k < 4; ++k) {
        const std::size_t rowBytes = ring[k].columns * pixelBytes;
        for (std::size_t i = 0; i < ring[k].rows; ++i)
          std::memcpy(copies[k] + i * rowBytes,
                      bits + (ring[k].row + i) * line + ring[k].column * pixelBytes, rowBytes);
      }
      for (int k = 0; k < 4; ++k) {
        const Block& to = ring[(k + 1) % 4];
        TurnPixels(copies[k], ring[k].columns * pixelBytes,
                   static_cast<std::uint32_t>(ring[k].columns),
                   static_cast<std::uint32_t>(ring[k].rows), pixelBytes,
                   bits + to.row * line + to.column * pixelBytes, line, turn);
      }
    }
}

}  // namespace zentrel::detail
