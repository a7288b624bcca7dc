// Size arithmetic of the packed DIB, in 64 bits so that no request can wrap.
#ifndef ZENTREL_IMAGE_DIBLAYOUT_H
#define ZENTREL_IMAGE_DIBLAYOUT_H

#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// block-size-cap: the largest block the library allocates (InitImage, the
/// readers, the quarter turns). Sizes must fit the 32-bit fields of the
/// bitmap header, and hosts commonly hold them in a signed 32-bit value, so
/// a block stays below 2 GiB and every size and offset in it fits signed 32
/// bits; this also refuses a header that claims 2^31 pixels before any
/// memory is touched.
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFFFFu;
constexpr std::uint32_t kHeaderBytes = 40;

/// Bytes per stored row: ((width × bits + 31) / 32) × 4.
inline std::uint64_t DibRowBytes(std::uint64_t width, std::uint64_t bits) {
  return (width * bits + 31) / 32 * 4;
}

/// Bytes of the pixel rows of an image: rowBytes × height, without the
/// spare row.
inline std::uint64_t DibPixelBytes(std::uint64_t rowBytes, std::uint64_t height) {
  return rowBytes * height;
}

/// Colour-table entries of a block made for bits: 256 for 8, none for 24.
inline std::uint32_t DibTableEntries(int bits) { return bits == 8 ? 256u : 0u; }

/// Geometry of a packed DIB block: header, colour table, pixel rows and one
/// spare row.
struct DibLayout {
  std::uint64_t rowBytes = 0;
  std::uint32_t tableEntries = 0;
  std::uint64_t blockBytes = 0;

  /// False when the row or the block would exceed kMaxBlockBytes.
  bool Fits() const { return rowBytes <= kMaxBlockBytes && blockBytes <= kMaxBlockBytes; }
};

/// The layout of a width × height image at bits 8 or 24 (both dimensions
/// positive).
inline DibLayout MakeDibLayout(std::uint32_t width, std::uint32_t height, int bits) {
  DibLayout layout;
  layout.rowBytes = DibRowBytes(width, static_cast<std::uint64_t>(bits));
  layout.tableEntries = DibTableEntries(bits);
  layout.blockBytes = kHeaderBytes + 4ull * layout.tableEntries +
                      layout.rowBytes * (static_cast<std::uint64_t>(height) + 1);
  return layout;
}

/// Writes the header of a freshly allocated block.
inline void WriteDibHeader(BITMAPINFOHEADER* header, std::uint32_t width, std::uint32_t height,
                           int bits, const DibLayout& layout) {
  *header = BITMAPINFOHEADER{};
  header->biSize = kHeaderBytes;
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = static_cast<LONG>(height);
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bits);
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(layout.rowBytes * height);
  header->biClrUsed = layout.tableEntries;
  header->biClrImportant = layout.tableEntries;
}

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_DIBLAYOUT_H
