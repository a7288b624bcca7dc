// The library's one description of an image's pixel rows (bits, colour
// table, size, stride, depth and the block they lie in), with the stored-row
// arithmetic and the 8- and 24-bit colour reads and writes every subsystem
// uses.
#ifndef ZENTREL_IMAGE_RASTER_H
#define ZENTREL_IMAGE_RASTER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ZentrelPlatform.h"

/// Mark a condition that is almost never (or almost always) true, for the
/// per-pixel paths.
#if defined(__GNUC__)
#define ZENTREL_RARELY(condition) __builtin_expect(!!(condition), 0)
#define ZENTREL_USUALLY(condition) __builtin_expect(!!(condition), 1)
#else
#define ZENTREL_RARELY(condition) (condition)
#define ZENTREL_USUALLY(condition) (condition)
#endif

namespace zentrel::detail {

/// The colour of a colour-table entry.
inline COLORREF TableColour(const RGBQUAD& entry) {
  return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
}

/// Gives a colour-table entry the colour; its reserved byte is kept.
inline void WriteTableColour(RGBQUAD& entry, COLORREF colour) {
  entry.rgbRed = GetRValue(colour);
  entry.rgbGreen = GetGValue(colour);
  entry.rgbBlue = GetBValue(colour);
}

/// The colour of the 24-bit pixel at p (stored blue, green, red).
inline COLORREF TrueColourAt(const BYTE* p) { return RGB(p[2], p[1], p[0]); }

/// Writes the colour to the 24-bit pixel at p (blue, green, red).
inline void WriteTrueColour(BYTE* p, COLORREF colour) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Blue and green in one 16-bit store: the byte-swapped colour shifted down
  // holds them in memory order. Saves an instruction on SetPixel's path.
  const std::uint16_t blueGreen = static_cast<std::uint16_t>(__builtin_bswap32(colour) >> 8);
  std::memcpy(p, &blueGreen, 2);
#else
  p[0] = GetBValue(colour);
  p[1] = GetGValue(colour);
#endif
  p[2] = GetRValue(colour);
}

/// The stored row (counted from the bottom, as a block keeps its rows) that
/// holds row y counted from the top of an image of height rows; y < height.
template <class Index>
constexpr Index StoredRowOf(Index height, Index y) {
  return height - 1 - y;
}

/// The colour-table entries a block holds between its table and its pixel
/// rows: 256 in a block made for 8 bits, 0 in one made for 24 bits (where
/// the table pointer is the rows' own).
inline std::size_t TableEntries(const RGBQUAD* table, const BYTE* bits) {
  return static_cast<std::size_t>(bits - reinterpret_cast<const BYTE*>(table)) / sizeof(RGBQUAD);
}

/// The depth a block was made for, from its layout: 8 when a colour table
/// (always 256 entries) lies before the rows, 24 otherwise. Whatever a host
/// writes into the header, only this depth addresses the block's bytes
/// correctly.
inline int BlockDepth(const RGBQUAD* table, const BYTE* bits) {
  return bits != reinterpret_cast<const BYTE*>(table) ? 8 : 24;
}

/// The pixel rows of an 8- or 24-bit image, bottom row first. An empty
/// raster (null bits, width and height 0) stands for "no image": an
/// operation given one acts as on an empty record. Positions passed to the
/// pixel functions must lie inside the image. Pixels are written through
/// WriteTrueColour and WriteTableColour on the rows it gives.
struct Raster {
  BYTE* bits = nullptr;          // the bottom stored row
  RGBQUAD* table = nullptr;      // 256 entries at 8 bits, null at 24
  std::uint32_t width = 0;       // pixels per row
  std::uint32_t height = 0;      // rows
  std::size_t lineBytes = 0;     // bytes per stored row, padding included
  int depth = 0;                 // 8 or 24
  std::uint32_t pixelBytes = 0;  // 1 or 3
  std::size_t areaBytes = 0;     // bytes from bits known to lie in the block

  /// The rows at bits: width × height pixels of depth 8 or 24, lineBytes
  /// apart, with the colour table of an 8-bit image (none otherwise). Used
  /// as is for rows someone else keeps (a decoder's block), whose caller
  /// vouches that they lie in memory it owns.
  static Raster Rows(BYTE* bits, std::uint32_t width, std::uint32_t height, std::size_t lineBytes,
                     int depth, RGBQUAD* table = nullptr) {
    const std::uint32_t pixelBytes = depth == 24 ? 3u : 1u;
    return Raster{bits, table, width, height, lineBytes, depth, pixelBytes, lineBytes * height};
  }

  bool Empty() const { return bits == nullptr; }
  bool Contains(UINT x, UINT y) const { return x < width && y < height; }
  bool TrueColour() const { return depth == 24; }
  /// Bytes of the stored rows, padding included.
  std::size_t PixelAreaBytes() const { return lineBytes * height; }

  /// Stored row i, counted from the bottom as the block keeps them.
  BYTE* StoredRow(std::size_t i) const { return bits + i * lineBytes; }
  /// The stored bytes of row y counted from the top.
  BYTE* RowFromTop(std::size_t y) const { return StoredRow(StoredRowOf<std::size_t>(height, y)); }

  /// The colour of pixel x of a row of this raster.
  COLORREF ColourIn(const BYTE* row, UINT x) const {
    if (TrueColour()) return TrueColourAt(row + 3 * static_cast<std::size_t>(x));
    return TableColour(table[row[x]]);
  }
  /// The colour of pixel (x, y), y from the top.
  COLORREF Colour(UINT x, UINT y) const { return ColourIn(RowFromTop(y), x); }
};

/// The raster of an image held in a packed DIB block, checked once against
/// the block: empty unless the block, header and rows are present, the
/// header's depth is the depth the block was made for (see BlockDepth), the
/// row length is the one that depth and width give, and every row lies
/// inside the block. A host may write the header, so whole-image operations
/// take their rows from here rather than trusting it.
Raster CheckedRaster(HGLOBAL block, const BITMAPINFOHEADER* header, RGBQUAD* table, BYTE* bits,
                     UINT width, UINT height, UINT lineBytes);

/// Whether the header still describes a non-empty raster as a painting
/// device reads it: 40 bytes, the raster's width, height and depth. False
/// for a null header or an empty raster.
bool HeaderDescribes(const BITMAPINFOHEADER* header, const Raster& raster);

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_RASTER_H
