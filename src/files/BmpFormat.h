// The BMP format's file header and info header: decoding from and encoding
// to the format's little-endian bytes, whatever the host's byte order.
#ifndef ZENTREL_FILES_BMPFORMAT_H
#define ZENTREL_FILES_BMPFORMAT_H

#include <cstdint>

#include "ZentrelPlatform.h"
#include "platform/Endian.h"

namespace zentrel::detail {

constexpr std::uint32_t kBmpFileHeaderBytes = 14;
constexpr std::uint32_t kBmpInfoHeaderBytes = 40;
constexpr std::uint32_t kBmpHeadersBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
constexpr WORD kBmpSignature = 0x4D42;  // "BM"

/// True when the first two bytes are "B", "M".
inline bool IsBmpSignature(const BYTE* bytes) { return bytes[0] == 'B' && bytes[1] == 'M'; }

inline BITMAPFILEHEADER DecodeBmpFileHeader(const BYTE* bytes) {
  BITMAPFILEHEADER header;
  header.bfType = LoadLE16(bytes);
  header.bfSize = LoadLE32(bytes + 2);
  header.bfReserved1 = LoadLE16(bytes + 6);
  header.bfReserved2 = LoadLE16(bytes + 8);
  header.bfOffBits = LoadLE32(bytes + 10);
  return header;
}

inline void EncodeBmpFileHeader(const BITMAPFILEHEADER& header, BYTE* bytes) {
  StoreLE16(bytes, header.bfType);
  StoreLE32(bytes + 2, header.bfSize);
  StoreLE16(bytes + 6, header.bfReserved1);
  StoreLE16(bytes + 8, header.bfReserved2);
  StoreLE32(bytes + 10, header.bfOffBits);
}

inline BITMAPINFOHEADER DecodeBmpInfoHeader(const BYTE* bytes) {
  BITMAPINFOHEADER header;
  header.biSize = LoadLE32(bytes);
  header.biWidth = static_cast<LONG>(LoadLE32(bytes + 4));
  header.biHeight = static_cast<LONG>(LoadLE32(bytes + 8));
  header.biPlanes = LoadLE16(bytes + 12);
  header.biBitCount = LoadLE16(bytes + 14);
  header.biCompression = LoadLE32(bytes + 16);
  header.biSizeImage = LoadLE32(bytes + 20);
  header.biXPelsPerMeter = static_cast<LONG>(LoadLE32(bytes + 24));
  header.biYPelsPerMeter = static_cast<LONG>(LoadLE32(bytes + 28));
  header.biClrUsed = LoadLE32(bytes + 32);
  header.biClrImportant = LoadLE32(bytes + 36);
  return header;
}

inline void EncodeBmpInfoHeader(const BITMAPINFOHEADER& header, BYTE* bytes) {
  StoreLE32(bytes, header.biSize);
  StoreLE32(bytes + 4, static_cast<std::uint32_t>(header.biWidth));
  StoreLE32(bytes + 8, static_cast<std::uint32_t>(header.biHeight));
  StoreLE16(bytes + 12, header.biPlanes);
  StoreLE16(bytes + 14, header.biBitCount);
  StoreLE32(bytes + 16, header.biCompression);
  StoreLE32(bytes + 20, header.biSizeImage);
  StoreLE32(bytes + 24, static_cast<std::uint32_t>(header.biXPelsPerMeter));
  StoreLE32(bytes + 28, static_cast<std::uint32_t>(header.biYPelsPerMeter));
  StoreLE32(bytes + 32, header.biClrUsed);
  StoreLE32(bytes + 36, header.biClrImportant);
}

/// Where a file's colour table and pixel rows start.
struct BmpDataPlacement {
  std::uint64_t tableOffset = 0;
  /// Colour-table entries to read into the record (0 for 24 bits).
  std::uint32_t tableEntries = 0;
  std::uint64_t pixelOffset = 0;
};

/// Places the colour table and the pixel rows of an accepted file (8 or 24
/// bits, info header of at least 40 bytes) of fileLength bytes.
///
/// bmp-table-by-header: the table follows the info header, whatever its size
/// (V4 and V5 headers are longer than 40 bytes), and holds biClrUsed
/// entries: for 8 bits 0 means 256 and more than 256 counts as 256; a 24-bit
/// file may carry up to 256 entries that the image does not use. The pixel
/// rows start at bfOffBits when that lies inside the file and not inside
/// the table; otherwise right after the table. A fixed 256-entry table after
/// 40 bytes would take the pixels of a file with a short table or a gap into
/// the table and shift every row.
inline BmpDataPlacement PlaceBmpData(const BITMAPFILEHEADER& file, const BITMAPINFOHEADER& info,
                                     std::uint64_t fileLength) {
  BmpDataPlacement placement;
  placement.tableOffset = std::uint64_t{kBmpFileHeaderBytes} + info.biSize;
  const std::uint32_t declared = info.biClrUsed > 256 ? 256 : info.biClrUsed;
  std::uint32_t fileEntries = declared;
  if (info.biBitCount == 8) {
    fileEntries = declared == 0 ? 256 : declared;
    placement.tableEntries = fileEntries;
  }
  const std::uint64_t tableEnd = placement.tableOffset + 4ull * fileEntries;
  const std::uint64_t offBits = file.bfOffBits;
  placement.pixelOffset = offBits < fileLength && offBits >= tableEnd ? offBits : tableEnd;
  return placement;
}

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_BMPFORMAT_H
