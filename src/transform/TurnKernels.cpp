// Quarter turns in tiles of 64 × 64 pixels, so that the rows read and the
// rows written by one tile stay in the first-level cache. Inside a tile,
// 8-bit pixels move in blocks of 16 × 16 transposed in SSE2 registers where
// the processor has them; 24-bit pixels move one by one as 4-byte words.
#include "transform/TurnKernels.h"

#include <algorithm>
#include <cstring>

#include "transform/WordBytes.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZENTREL_TURN_SSE2 1
#endif

namespace zentrel::detail {

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
  bool left;

  std::size_t DstRow(std::size_t j) const { return left ? j : width - 1 - j; }
  std::size_t DstColumn(std::size_t i) const { return left ? height - 1 - i : i; }
  /// The source row that lands in destination column c.
  std::size_t SrcRow(std::size_t c) const { return left ? height - 1 - c : c; }

  /// Moves the pixels of rows i0..i1−1 and columns j0..j1−1 one by one.
  void MoveRect(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1) const {
    for (std::size_t j = j0; j < j1; ++j)
      for (std::size_t i = i0; i < i1; ++i)
        std::memcpy(dst + DstRow(j) * dstLine + DstColumn(i) * pixelBytes,
                    src + i * srcLine + j * pixelBytes, pixelBytes);
  }
};

#ifdef ZENTREL_TURN_SSE2

/// Transposes 16 × 16 bytes: afterwards byte k of r[c] is the former byte c
/// of r[k]. Each round interleaves r[k] with r[k + 8], which rotates the
/// eight bits of (register, byte) by one; four rounds swap the halves.
void Transpose16x16(__m128i r[16]) {
  for (int round = 0; round < 4; ++round) {
    __m128i out[16];
    for (int k = 0; k < 8; ++k) {
      out[2 * k] = _mm_unpacklo_epi8(r[k], r[k + 8]);
      out[2 * k + 1] = _mm_unpackhi_epi8(r[k], r[k + 8]);
    }
    for (int k = 0; k < 16; ++k) r[k] = out[k];
  }
}

constexpr std::size_t kByteBlock = 16;

/// Moves the 16 × 16 block of an 8-bit image at rows i.., columns j...
void MoveByteBlock(const TurnGeometry& g, std::size_t i, std::size_t j) {
  __m128i r[16];
  // A left turn lays the source rows out right to left, so they are loaded
  // top row first and come out of the transpose in destination order.
  for (std::size_t k = 0; k < 16; ++k) {
    const std::size_t row = g.left ? i + 15 - k : i + k;
    r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.src + row * g.srcLine + j));
  }
  Transpose16x16(r);
  const std::size_t column = g.left ? g.height - 16 - i : i;
  for (std::size_t c = 0; c < 16; ++c)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g.dst + g.DstRow(j + c) * g.dstLine + column),
                     r[c]);
}

#else

constexpr std::size_t kByteBlock = 1;

void MoveByteBlock(const TurnGeometry& g, std::size_t i, std::size_t j) {
  g.dst[g.DstRow(j) * g.dstLine + g.DstColumn(i)] = g.src[i * g.srcLine + j];
}

#endif

void MoveByteTile(const TurnGeometry& g, std::size_t i0, std::size_t i1, std::size_t j0,
                  std::size_t j1) {
  const std::size_t iFull = i0 + (i1 - i0) / kByteBlock * kByteBlock;
  const std::size_t jFull = j0 + (j1 - j0) / kByteBlock * kByteBlock;
  for (std::size_t i = i0; i < iFull; i += kByteBlock)
    for (std::size_t j = j0; j < jFull; j += kByteBlock) MoveByteBlock(g, i, j);
  g.MoveRect(i0, iFull, jFull, j1);
  g.MoveRect(iFull, i1, j0, j1);
}

/// Moves the 24-bit pixels of rows i0..i1−1 and columns j0..j1−1. Each
/// destination row is written left to right with 4-byte stores, whose fourth
/// byte is overwritten by the next pixel; so that this byte never lands on a
/// pixel already written, tiles are visited in destination column order, and
/// the last destination column and the last source column (whose fourth
/// byte lies outside the image) move as 3 bytes.
void MoveTripleTile(const TurnGeometry& g, std::size_t i0, std::size_t i1, std::size_t j0,
                    std::size_t j1) {
  const std::size_t c0 = std::min(g.DstColumn(i0), g.DstColumn(i1 - 1));
  const std::size_t c1 = std::max(g.DstColumn(i0), g.DstColumn(i1 - 1)) + 1;
  const std::size_t wordEnd = std::min(c1, g.height - 1);
  const std::ptrdiff_t srcStep =
      g.left ? -static_cast<std::ptrdiff_t>(g.srcLine) : static_cast<std::ptrdiff_t>(g.srcLine);
  for (std::size_t j = j0; j < j1; ++j) {
    BYTE* out = g.dst + g.DstRow(j) * g.dstLine + c0 * 3;
    const BYTE* in = g.src + g.SrcRow(c0) * g.srcLine + j * 3;
    std::size_t c = c0;
    if (j + 1 < g.width)
      for (; c < wordEnd; ++c, out += 3, in += srcStep) StoreWord32(out, LoadWord32(in));
    for (; c < c1; ++c, out += 3, in += srcStep) std::memcpy(out, in, 3);
  }
}

/// Starts loading the source rows and the destination rows of the tile
/// after rows i0..i1−1, columns up to j1, while this one moves: the
/// destination lines are written only in part by each tile, so each would
/// otherwise be fetched from memory just before it is written.
void PrefetchNextTile(const TurnGeometry& g, std::size_t i0, std::size_t i1, std::size_t j1) {
  if (j1 >= g.width) return;
  const std::size_t j2 = std::min(g.width, j1 + kTile);
  const std::size_t srcBytes = (j2 - j1) * g.pixelBytes;
  for (std::size_t i = i0; i < i1; ++i)
    for (std::size_t b = 0; b < srcBytes; b += 64)
      PrefetchLine(g.src + i * g.srcLine + j1 * g.pixelBytes + b);
  const std::size_t dstColumn = std::min(g.DstColumn(i0), g.DstColumn(i1 - 1)) * g.pixelBytes;
  const std::size_t dstBytes = (i1 - i0) * g.pixelBytes;
  for (std::size_t j = j1; j < j2; ++j) {
    BYTE* row = g.dst + g.DstRow(j) * g.dstLine + dstColumn;
    for (std::size_t b = 0; b < dstBytes; b += 64) PrefetchLineForWrite(row + b);
    PrefetchLineForWrite(row + dstBytes - 1);
  }
}

}  // namespace

void TurnPixels(const BYTE* src, std::size_t srcLine, std::uint32_t width, std::uint32_t height,
                std::uint32_t pixelBytes, BYTE* dst, std::size_t dstLine, Turn turn) {
  const TurnGeometry g{src, srcLine, width, height, pixelBytes, dst, dstLine, turn == Turn::kLeft};
  const std::size_t tiles = (g.height + kTile - 1) / kTile;
  for (std::size_t t = 0; t < tiles; ++t) {
    // Destination columns grow with the source row for a right turn and
    // shrink for a left one: visit the row tiles in destination order.
    const std::size_t i0 = (g.left ? tiles - 1 - t : t) * kTile;
    const std::size_t i1 = std::min(g.height, i0 + kTile);
    for (std::size_t j0 = 0; j0 < g.width; j0 += kTile) {
      const std::size_t j1 = std::min(g.width, j0 + kTile);
      PrefetchNextTile(g, i0, i1, j1);
      if (pixelBytes == 1)
        MoveByteTile(g, i0, i1, j0, j1);
      else
        MoveTripleTile(g, i0, i1, j0, j1);
    }
  }
}

}  // namespace zentrel::detail
