// The pixel rows of a held image as the transforms see them, checked against
// the block that holds them before any byte is moved.
#ifndef ZENTREL_TRANSFORM_PIXELROWS_H
#define ZENTREL_TRANSFORM_PIXELROWS_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

struct PixelRows {
  BYTE* bits = nullptr;          // the bottom stored row
  std::size_t lineBytes = 0;     // bytes per stored row, padding included
  std::uint32_t width = 0;       // pixels per row
  std::uint32_t height = 0;      // rows
  std::uint32_t pixelBytes = 0;  // 1 or 3
  std::size_t areaBytes = 0;     // bytes from bits to the end of the block

  std::size_t PixelAreaBytes() const { return lineBytes * height; }
};

/// Describes the rows of a record's image, or returns false when it holds
/// none or when they cannot be moved safely: the header's depth is not 8 or
/// 24 (a host can write any depth through GetBmh, and no pixel size follows
/// from it), the row length does not belong to that depth and width, or the
/// rows would reach past the end of the block.
bool DescribePixelRows(HGLOBAL block, const BITMAPINFOHEADER* header, BYTE* bits, UINT width,
                       UINT height, UINT lineBytes, PixelRows* rows);

#endif  // ZENTREL_TRANSFORM_PIXELROWS_H
