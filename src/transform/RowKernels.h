// Whole-row work for the transforms: swapping two rows, reversing the pixel
// order of one row in place, and clearing row padding.
#ifndef ZENTREL_TRANSFORM_ROWKERNELS_H
#define ZENTREL_TRANSFORM_ROWKERNELS_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// Exchanges the bytes of two distinct, non-overlapping rows of bytes bytes.
void SwapRows(BYTE* a, BYTE* b, std::size_t bytes);

/// Reverses the order of the width pixels of pixelBytes bytes (1 or 3) at
/// row; each pixel's bytes keep their order.
void ReversePixels(BYTE* row, std::size_t width, std::uint32_t pixelBytes);

/// Sets the bytes after the first used bytes of each of rows rows, line
/// bytes apart, to 0.
void ZeroRowPadding(BYTE* bits, std::size_t line, std::size_t rows, std::size_t used);

}  // namespace zentrel::detail

#endif  // ZENTREL_TRANSFORM_ROWKERNELS_H
