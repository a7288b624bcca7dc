// Whole-row moves for the flips: swapping two rows and reversing the pixel
// order of one row in place.
#ifndef ZENTREL_TRANSFORM_ROWKERNELS_H
#define ZENTREL_TRANSFORM_ROWKERNELS_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

/// Exchanges the bytes of two distinct, non-overlapping rows of bytes bytes.
void SwapRows(BYTE* a, BYTE* b, std::size_t bytes);

/// Reverses the order of the width pixels of pixelBytes bytes (1 or 3) at
/// row; each pixel's bytes keep their order.
void ReversePixels(BYTE* row, std::size_t width, std::uint32_t pixelBytes);

#endif  // ZENTREL_TRANSFORM_ROWKERNELS_H
