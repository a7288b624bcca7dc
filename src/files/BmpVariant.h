// The widened BMP reader's view of a file's headers: every common form of
// the BMP format (OS/2 1.x and 2.x headers, Windows headers of 40 to 124
// bytes, top-down rows, low depths, RLE, bit fields) reduced to what
// decoding its pixels needs.
#ifndef ZENTREL_FILES_BMPVARIANT_H
#define ZENTREL_FILES_BMPVARIANT_H

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// How the pixel data is stored.
enum class BmpPixelForm {
  Indexed,  // 1, 2, 4 or 8 bits per pixel, colour-table indices
  Rle8,     // run-length encoded 8-bit indices
  Rle4,     // run-length encoded 4-bit indices
  Rgb24,    // blue, green, red bytes
  Masked,   // 16 or 32 bits per pixel, channels under bit masks
};

struct BmpVariant {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topDown = false;  // the file's first row is the picture's top row
  unsigned bits = 0;
  BmpPixelForm form = BmpPixelForm::Indexed;
  std::uint32_t masks[3] = {};  // red, green, blue (Masked only)
  LONG xPelsPerMeter = 0;
  LONG yPelsPerMeter = 0;
  std::uint64_t tableOffset = 0;
  unsigned entryBytes = 4;         // 3 in OS/2 1.x files
  std::uint32_t tableEntries = 0;  // entries to take, at most 256
  std::uint64_t pixelOffset = 0;

  /// Depth of the image the record gets: 8 for indices, 24 otherwise.
  int OutputBits() const {
    return form == BmpPixelForm::Rgb24 || form == BmpPixelForm::Masked ? 24 : 8;
  }
  /// Bytes of one uncompressed row in the file, padded to 4 bytes.
  std::uint64_t FileRowBytes() const { return (std::uint64_t{width} * bits + 31) / 32 * 4; }
};

/// Bytes of the headers the parser looks at: file header, the longest info
/// header, and bit masks after a 40-byte header.
constexpr std::size_t kBmpVariantHeadBytes = 14 + 124 + 16;

/// Decodes the headers in head (the file's first headBytes bytes, of a file
/// of fileLength bytes). Returns ZENTREL_NOTE_NONE and fills variant for a
/// file the widened reader takes, else the note saying why not.
int ParseBmpVariant(const BYTE* head, std::size_t headBytes, std::uint64_t fileLength,
                    BmpVariant& variant);

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_BMPVARIANT_H
