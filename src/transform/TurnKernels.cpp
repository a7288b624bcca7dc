// Quarter turns in tiles of 64 × 64 pixels, so that the rows read and the
// rows written by one tile stay in the first-level cache; 8-bit tiles are
// moved in blocks of 8 × 8 pixels held in eight 64-bit words.
#include "transform/TurnKernels.h"

#include <algorithm>
#include <cstring>

#include "transform/WordBytes.h"

namespace {

constexpr std::size_t kTile = 64;

/// Where the pixels of the source land in the destination.
struct TurnGeometry {
  const BYTE* src;
  std::size_t srcLine;
  std::size_t width;
  std::size_t height;
  std::size_t pixelBytes;
  BYTE* dst;
  std::size_t dstLine;
  Turn turn;

  std::size_t DstRow(std::size_t j) const { return turn == Turn::kLeft ? j : width - 1 - j; }
  std::size_t DstColumn(std::size_t i) const { return turn == Turn::kLeft ? height - 1 - i : i; }

  void MovePixel(std::size_t i, std::size_t j) const {
    BYTE* to = dst + DstRow(j) * dstLine + DstColumn(i) * pixelBytes;
    const BYTE* from = src + i * srcLine + j * pixelBytes;
    if (pixelBytes == 1)
      *to = *from;
    else
      std::memcpy(to, from, 3);
  }

  /// Moves the pixels of rows i0..i1−1 and columns j0..j1−1 one by one.
  void MoveRect(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1) const {
    for (std::size_t j = j0; j < j1; ++j)
      for (std::size_t i = i0; i < i1; ++i) MovePixel(i, j);
  }
};

/// Transposes the 8 × 8 bytes held in r (byte c of word k is element k, c)
/// so that byte k of word c holds the former element k, c: three rounds of
/// exchanging 4-, 2- and 1-byte sub-blocks.
void Transpose8x8(std::uint64_t r[8]) {
  for (int k = 0; k < 4; ++k) {
    const std::uint64_t a = r[k], b = r[k + 4];
    r[k] = (a & 0x00000000FFFFFFFFull) | (b << 32);
    r[k + 4] = (a >> 32) | (b & 0xFFFFFFFF00000000ull);
  }
  for (int k : {0, 1, 4, 5}) {
    const std::uint64_t a = r[k], b = r[k + 2];
    r[k] = (a & 0x0000FFFF0000FFFFull) | ((b & 0x0000FFFF0000FFFFull) << 16);
    r[k + 2] = ((a >> 16) & 0x0000FFFF0000FFFFull) | (b & 0xFFFF0000FFFF0000ull);
  }
  for (int k : {0, 2, 4, 6}) {
    const std::uint64_t a = r[k], b = r[k + 1];
    r[k] = (a & 0x00FF00FF00FF00FFull) | ((b & 0x00FF00FF00FF00FFull) << 8);
    r[k + 1] = ((a >> 8) & 0x00FF00FF00FF00FFull) | (b & 0xFF00FF00FF00FF00ull);
  }
}

/// Moves the 8 × 8 block of an 8-bit image at rows i..i+7, columns j..j+7.
void MoveByteBlock(const TurnGeometry& g, std::size_t i, std::size_t j) {
  std::uint64_t r[8];
  for (std::size_t k = 0; k < 8; ++k) r[k] = LoadWord64(g.src + (i + k) * g.srcLine + j);
  Transpose8x8(r);
  // Word c now holds column j + c, rows i..i+7 in increasing order; a left
  // turn lays those rows out right to left.
  for (std::size_t c = 0; c < 8; ++c) {
    if (g.turn == Turn::kLeft)
      StoreWord64(g.dst + (j + c) * g.dstLine + (g.height - 8 - i), ReverseBytes64(r[c]));
    else
      StoreWord64(g.dst + (g.width - 1 - j - c) * g.dstLine + i, r[c]);
  }
}

void MoveByteTile(const TurnGeometry& g, std::size_t i0, std::size_t i1, std::size_t j0,
                  std::size_t j1) {
  const std::size_t iFull = i0 + (i1 - i0) / 8 * 8;
  const std::size_t jFull = j0 + (j1 - j0) / 8 * 8;
  for (std::size_t i = i0; i < iFull; i += 8)
    for (std::size_t j = j0; j < jFull; j += 8) MoveByteBlock(g, i, j);
  g.MoveRect(i0, iFull, jFull, j1);
  g.MoveRect(iFull, i1, j0, j1);
}

}  // namespace

void TurnPixels(const BYTE* src, std::size_t srcLine, std::uint32_t width, std::uint32_t height,
                std::uint32_t pixelBytes, BYTE* dst, std::size_t dstLine, Turn turn) {
  const TurnGeometry g{src, srcLine, width, height, pixelBytes, dst, dstLine, turn};
  for (std::size_t i0 = 0; i0 < g.height; i0 += kTile) {
    const std::size_t i1 = std::min(g.height, i0 + kTile);
    for (std::size_t j0 = 0; j0 < g.width; j0 += kTile) {
      const std::size_t j1 = std::min(g.width, j0 + kTile);
      if (pixelBytes == 1)
        MoveByteTile(g, i0, i1, j0, j1);
      else
        g.MoveRect(i0, i1, j0, j1);
    }
  }
  const std::size_t used = g.height * g.pixelBytes;
  for (std::size_t row = 0; row < g.width; ++row)
    std::memset(dst + row * dstLine + used, 0, dstLine - used);
}
