// Row swaps and in-place pixel reversal: 8-bit pixels eight at a time,
// 24-bit pixels as 4-byte words.
#include "transform/RowKernels.h"

#include <algorithm>
#include <cstring>

#include "transform/WordBytes.h"

namespace zentrel::detail {

void SwapRows(BYTE* a, BYTE* b, std::size_t bytes) {
  // A stack chunk keeps the swap allocation-free and in the first-level cache.
  constexpr std::size_t kChunk = 4096;
  BYTE chunk[kChunk];
  for (std::size_t done = 0; done < bytes; done += kChunk) {
    const std::size_t n = std::min(kChunk, bytes - done);
    std::memcpy(chunk, a + done, n);
    std::memcpy(a + done, b + done, n);
    std::memcpy(b + done, chunk, n);
  }
}

namespace {

void ReverseBytePixels(BYTE* row, std::size_t width) {
  std::size_t lo = 0;
  std::size_t hi = width;
  // Eight pixels from each end per step, each word byte-reversed.
  while (hi - lo >= 16) {
    const std::uint64_t front = LoadWord64(row + lo);
    const std::uint64_t back = LoadWord64(row + hi - 8);
    StoreWord64(row + lo, ReverseBytes64(back));
    StoreWord64(row + hi - 8, ReverseBytes64(front));
    lo += 8;
    hi -= 8;
  }
  std::reverse(row + lo, row + hi);
}

/// Writes the n 3-byte pixels at from to to in reverse order. Each pixel is
/// moved as a 4-byte word whose fourth byte the next pixel overwrites; from
/// must have one readable byte after its n pixels, and the last pixel written
/// moves as 3 bytes so that nothing after the n pixels of to changes.
void WriteReversedTriples(BYTE* to, const BYTE* from, std::size_t n) {
  for (std::size_t k = 0; k + 1 < n; ++k)
    StoreWord32(to + 3 * k, LoadWord32(from + 3 * (n - 1 - k)));
  if (n > 0) std::memcpy(to + 3 * (n - 1), from, 3);
}

void ReverseTriplePixels(BYTE* row, std::size_t width) {
  // Chunks from both ends are copied to the stack and written back reversed
  // into each other's place; whatever is left in the middle is reversed the
  // same way on its own.
  constexpr std::size_t kChunk = 512;
  BYTE copy[2 * 3 * kChunk + 1];
  BYTE* front = copy;
  BYTE* back = copy + 3 * kChunk;
  std::size_t lo = 0;
  std::size_t hi = width;
  while (hi - lo >= 2 * kChunk) {
    std::memcpy(front, row + 3 * lo, 3 * kChunk);
    std::memcpy(back, row + 3 * (hi - kChunk), 3 * kChunk);
    back[3 * kChunk] = 0;  // the byte read after the last pixel
    // Start loading the next chunks while these are written back.
    if (hi - lo >= 4 * kChunk)
      for (std::size_t b = 0; b < 3 * kChunk; b += 64) {
        PrefetchLine(row + 3 * (lo + kChunk) + b);
        PrefetchLine(row + 3 * (hi - 2 * kChunk) + b);
      }
    WriteReversedTriples(row + 3 * lo, back, kChunk);
    WriteReversedTriples(row + 3 * (hi - kChunk), front, kChunk);
    lo += kChunk;
    hi -= kChunk;
  }
  const std::size_t n = hi - lo;
  std::memcpy(copy, row + 3 * lo, 3 * n);
  copy[3 * n] = 0;
  WriteReversedTriples(row + 3 * lo, copy, n);
}

}  // namespace

void ReversePixels(BYTE* row, std::size_t width, std::uint32_t pixelBytes) {
  if (pixelBytes == 3)
    ReverseTriplePixels(row, width);
  else
    ReverseBytePixels(row, width);
}

void ZeroRowPadding(BYTE* bits, std::size_t line, std::size_t rows, std::size_t used) {
  if (used == line) return;
  for (std::size_t row = 0; row < rows; ++row)
    std::memset(bits + row * line + used, 0, line - used);
}

}  // namespace zentrel::detail
