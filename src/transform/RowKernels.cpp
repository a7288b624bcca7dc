// Row swaps and in-place pixel reversal, eight or twelve bytes at a time.
#include "transform/RowKernels.h"

#include <algorithm>
#include <cstring>

#include "transform/WordBytes.h"

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

/// Four 3-byte pixels in reverse order: twelve bytes held as a 64-bit low
/// part (bytes 0-7) and a 32-bit high part (bytes 8-11).
struct TwelveBytes {
  std::uint64_t low;
  std::uint32_t high;
};

TwelveBytes LoadTwelve(const BYTE* p) { return {LoadWord64(p), LoadWord32(p + 8)}; }

void StoreTwelve(BYTE* p, TwelveBytes v) {
  StoreWord64(p, v.low);
  StoreWord32(p + 8, v.high);
}

TwelveBytes ReverseFourPixels(TwelveBytes v) {
  constexpr std::uint64_t kPixel = 0xFFFFFF;
  const std::uint64_t p0 = v.low & kPixel;
  const std::uint64_t p1 = (v.low >> 24) & kPixel;
  const std::uint64_t p2 = ((v.low >> 48) | (static_cast<std::uint64_t>(v.high) << 16)) & kPixel;
  const std::uint64_t p3 = (v.high >> 8) & kPixel;
  return {p3 | (p2 << 24) | (p1 << 48), static_cast<std::uint32_t>((p1 >> 16) | (p0 << 8))};
}

void SwapPixel3(BYTE* a, BYTE* b) {
  for (int k = 0; k < 3; ++k) std::swap(a[k], b[k]);
}

void ReverseTriplePixels(BYTE* row, std::size_t width) {
  std::size_t lo = 0;
  std::size_t hi = width;
  // Four pixels from each end per step.
  while (hi - lo >= 8) {
    const TwelveBytes front = LoadTwelve(row + 3 * lo);
    const TwelveBytes back = LoadTwelve(row + 3 * (hi - 4));
    StoreTwelve(row + 3 * lo, ReverseFourPixels(back));
    StoreTwelve(row + 3 * (hi - 4), ReverseFourPixels(front));
    lo += 4;
    hi -= 4;
  }
  while (hi - lo >= 2) {
    --hi;
    SwapPixel3(row + 3 * lo, row + 3 * hi);
    ++lo;
  }
}

}  // namespace

void ReversePixels(BYTE* row, std::size_t width, std::uint32_t pixelBytes) {
  if (pixelBytes == 3)
    ReverseTriplePixels(row, width);
  else
    ReverseBytePixels(row, width);
}
