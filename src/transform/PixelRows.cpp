// Checks that the pixel rows of a held image are what the transforms expect.
#include "transform/PixelRows.h"

#include "image/DibLayout.h"
#include "platform/Memory.h"

bool DescribePixelRows(HGLOBAL block, const BITMAPINFOHEADER* header, BYTE* bits, UINT width,
                       UINT height, UINT lineBytes, PixelRows* rows) {
  if (!block || !header || !bits || width == 0 || height == 0) return false;
  const int depth = header->biBitCount;
  if (depth != 8 && depth != 24) return false;
  if (DibRowBytes(width, static_cast<std::uint64_t>(depth)) != lineBytes) return false;

  const BYTE* start = reinterpret_cast<const BYTE*>(header);
  const std::size_t blockBytes = GlobalSize(block);
  if (bits < start || static_cast<std::size_t>(bits - start) > blockBytes) return false;
  const std::size_t areaBytes = blockBytes - static_cast<std::size_t>(bits - start);
  if (static_cast<std::uint64_t>(lineBytes) * height > areaBytes) return false;

  rows->bits = bits;
  rows->lineBytes = lineBytes;
  rows->width = width;
  rows->height = height;
  rows->pixelBytes = static_cast<std::uint32_t>(depth / 8);
  rows->areaBytes = areaBytes;
  return true;
}
