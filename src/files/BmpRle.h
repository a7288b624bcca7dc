// Decoding the RLE8 and RLE4 pixel data of the BMP format into 8-bit rows.
#ifndef ZENTREL_FILES_BMPRLE_H
#define ZENTREL_FILES_BMPRLE_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// Where decoded indices go: width × height bytes in rows of rowBytes, the
/// first decoded row (the picture's bottom, or its top for a top-down file)
/// at the stored row the layout gives. The rows must be zero-filled: pixels
/// the stream skips or leaves out stay index 0.
struct RleTarget {
  BYTE* bits = nullptr;
  std::size_t rowBytes = 0;
  std::uint32_t width = 0;
  /// Pixels of a row with the file's row padding: writers encode the
  /// padding of uncompressed rows too, which is dropped without complaint.
  std::uint64_t paddedWidth = 0;
  std::uint32_t height = 0;
  bool topDown = false;
};

/// Decodes the stream data[0, size) (fourBit: RLE4, else RLE8). Indices the
/// stream would put past a row's end or past the last row are dropped, never
/// written (beyond the padded width they make the stream damaged). Returns ZENTREL_NOTE_NONE for a
/// stream that ends with its end-of-bitmap code (or fills the image), ZENTREL_NOTE_DAMAGED_DATA
/// when indices were dropped, ZENTREL_NOTE_TRUNCATED when the data ran out first.
int DecodeBmpRle(const BYTE* data, std::size_t size, bool fourBit, const RleTarget& target);

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_BMPRLE_H
