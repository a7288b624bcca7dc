// Builders of BMP files for the tests, written independently of the
// library's own encoder, and a record that exposes its protected fields.
#ifndef ZENTREL_TESTS_BMP_BMPTESTFILES_H
#define ZENTREL_TESTS_BMP_BMPTESTFILES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace bmptest {

using Bytes = std::vector<std::uint8_t>;

/// The pieces of a BMP file, laid out in order: file header, info header
/// (infoSize bytes, those past 40 filled with 0xA5), table bytes, gap bytes
/// (0x5A), pixel bytes, trailing bytes (0xFF).
struct BmpParts {
  std::uint32_t infoSize = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 2835;
  std::int32_t yPelsPerMeter = 2834;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
  Bytes table;
  std::uint32_t gap = 0;
  /// Where the file header says the pixels are; default: where they are.
  std::optional<std::uint32_t> offBits;
  Bytes pixels;
  std::uint32_t trailing = 0;
};

Bytes Encode(const BmpParts& parts);

/// Row length in bytes of a width-pixel row at bits.
std::uint32_t RowBytes(std::uint32_t width, std::uint32_t bits);
/// A colour table of count distinct entries (blue i, green 255 − i, red
/// 3i mod 256, reserved i mod 7).
Bytes PatternTable(std::uint32_t count);
/// Bottom-up pixel rows of width × height at bits, each pixel byte a
/// function of its position, padding bytes 0xEE.
Bytes PatternPixels(std::uint32_t width, std::uint32_t height, std::uint32_t bits);
/// The pattern byte at byte column column of stored row row.
std::uint8_t PatternByte(std::uint32_t column, std::uint32_t row);

/// A complete, plain 8-bit file of width × height with a 256-entry table.
BmpParts Plain8(std::int32_t width, std::int32_t height);
/// A complete, plain 24-bit file of width × height.
BmpParts Plain24(std::int32_t width, std::int32_t height);

/// The record with its protected fields reachable, as a host's derived
/// class has them.
class Record : public CImageDataModel {
 public:
  using CImageDataModel::m_dScale;
  using CImageDataModel::m_nHeight;
  using CImageDataModel::m_nLineBytes;
  using CImageDataModel::m_nWidth;
  using CImageDataModel::m_pBits;
  using CImageDataModel::m_pBmh;
  using CImageDataModel::m_pPalette;
  using CImageDataModel::m_rcRange;
};

/// Header, colour table and pixel area of a record, as bytes.
struct RecordContent {
  Bytes header;
  Bytes table;
  Bytes pixels;
};
RecordContent ContentOf(const CImageDataModel& image);
bool operator==(const RecordContent& a, const RecordContent& b);

/// Little-endian field readers for checking written files.
std::uint32_t U32At(const Bytes& bytes, std::size_t offset);
std::uint16_t U16At(const Bytes& bytes, std::size_t offset);

/// The names in folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace bmptest

#endif  // ZENTREL_TESTS_BMP_BMPTESTFILES_H
