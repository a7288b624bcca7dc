// Helpers for the transform tests: labelled and random images, snapshots of
// a record, and plain reference versions of the five transforms written
// straight from their definitions, working on copies of the pixel rows.
#ifndef ZENTREL_TESTS_TRANSFORM_SUPPORT_H
#define ZENTREL_TESTS_TRANSFORM_SUPPORT_H

#include <cstdint>
#include <random>
#include <vector>

#include "ImageDataModel.h"

namespace tt {

using Bytes = std::vector<std::uint8_t>;

/// Bytes per row for width pixels at bits per pixel.
std::size_t RowBytes(std::size_t width, int bits);

/// The pixel rows of the image (GetLineBytes() × GetHeight() bytes).
Bytes PixelArea(const CImageDataModel& image);
/// Fills every byte of the pixel rows, padding included, with random values.
void FillRandom(CImageDataModel& image, std::mt19937& random);

/// The three bytes a 24-bit test image stores for label (never all zero for
/// a label above 0).
std::uint32_t LabelColour(int label);
/// Labels stored row r, column q with 10 × r + q + 1 (8-bit: the index;
/// 24-bit: the bytes of LabelColour).
void FillLabels(CImageDataModel& image);
/// The labels of the image listed as displayed, top row first; a 24-bit
/// pixel whose bytes are no label's reads −1, a zero pixel 0.
std::vector<int> DisplayedLabels(const CImageDataModel& image);

/// Bytes in front of the pixel rows: header and colour table.
std::size_t PrefixBytes(const CImageDataModel& image);
/// The size of the block of a freshly made image: header, colour table, the
/// pixel rows and one spare row.
std::size_t FreshBlockBytes(const CImageDataModel& image);
/// The bytes after the pixel rows of a block of blockBytes.
Bytes BlockTail(const CImageDataModel& image, std::size_t blockBytes);

/// Everything a failed transform must leave as it was.
struct Snapshot {
  HGLOBAL handle;
  BITMAPINFOHEADER* header;
  RGBQUAD* palette;
  BYTE* bits;
  UINT width;
  UINT height;
  UINT lineBytes;
  CRect range;
  Bytes block;  // every byte of the block
};
/// A snapshot of a freshly made image (block of FreshBlockBytes).
Snapshot Take(const CImageDataModel& image);
/// Adds a test failure for every difference from the snapshot.
void ExpectUnchanged(const CImageDataModel& image, const Snapshot& before);

/// Reference transforms of pixel rows (lineBytes × height bytes, bottom-up)
/// of a width × height image at bits 8 or 24. Padding follows the library:
/// Flip moves it with the rows, the others leave it zero.
Bytes ReferenceFlip(const Bytes& rows, std::size_t width, std::size_t height, int bits);
Bytes ReferenceMirror(const Bytes& rows, std::size_t width, std::size_t height, int bits);
/// The rows turned a quarter left or right: width rows of
/// RowBytes(height, bits) bytes.
Bytes ReferenceTurn(const Bytes& rows, std::size_t width, std::size_t height, int bits, bool left);
Bytes ReferenceRotate(const Bytes& rows, std::size_t width, std::size_t height, int bits,
                      int angle);

}  // namespace tt

#endif  // ZENTREL_TESTS_TRANSFORM_SUPPORT_H
