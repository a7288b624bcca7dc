// Decoding the headers of every common form of BMP file for the widened
// reader: which header it has, how its pixels are stored, where its colour
// table and pixel data lie.
#include "files/BmpVariant.h"

#include <algorithm>

#include "ImageDataModel.h"
#include "platform/Endian.h"

namespace zentrel::detail {

namespace {

constexpr std::uint32_t kCoreHeaderBytes = 12;      // OS/2 1.x
constexpr std::uint32_t kOs2ShortHeaderBytes = 16;  // OS/2 2.x, the shortest form
constexpr std::uint32_t kOs2HeaderBytes = 64;       // OS/2 2.x, the full form
constexpr std::uint32_t kInfoHeaderBytes = 40;

// biCompression values; 3 and 4 mean Huffman and RLE24 in OS/2 2.x files.
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpegOrRle24 = 4, kPng = 5,
                        kAlphaBitFields = 6;

/// A field of the info header at offset within it, 0 when the header is too
/// short to hold it (its size is headerBytes).
std::uint32_t Field32(const BYTE* info, std::uint32_t headerBytes, std::uint32_t offset) {
  return offset + 4 <= headerBytes ? LoadLE32(info + offset) : 0;
}
std::uint32_t Field16(const BYTE* info, std::uint32_t headerBytes, std::uint32_t offset) {
  return offset + 2 <= headerBytes ? LoadLE16(info + offset) : 0;
}

/// True for the header sizes of the OS/2 2.x format: the full 64 bytes, or a
/// shortened one other than a Windows size (40, 52, 56 bytes).
bool IsOs2Size(std::uint32_t size) {
  return size == kOs2HeaderBytes || (size >= kOs2ShortHeaderBytes && size < kOs2HeaderBytes &&
                                     size != 40 && size != 52 && size != 56);
}

/// Sets the pixel form from depth and compression; returns the note.
int ChoosePixelForm(std::uint32_t compression, bool os2, BmpVariant& v) {
  const unsigned bits = v.bits;
  switch (compression) {
    case kRgb:
      if (bits == 1 || bits == 2 || bits == 4 || bits == 8) {
        v.form = BmpPixelForm::Indexed;
      } else if (bits == 24) {
        v.form = BmpPixelForm::Rgb24;
      } else if (bits == 16) {
        v.form = BmpPixelForm::Masked;  // 5-5-5
        v.masks[0] = 0x7C00;
        v.masks[1] = 0x03E0;
        v.masks[2] = 0x001F;
      } else if (bits == 32) {
        v.form = BmpPixelForm::Masked;  // 8-8-8, the top byte unused
        v.masks[0] = 0x00FF0000;
        v.masks[1] = 0x0000FF00;
        v.masks[2] = 0x000000FF;
      } else {
        return ZENTREL_NOTE_UNSUPPORTED_DEPTH;
      }
      return ZENTREL_NOTE_NONE;
    case kRle8:
      v.form = BmpPixelForm::Rle8;
      return bits == 8 ? ZENTREL_NOTE_NONE : ZENTREL_NOTE_DAMAGED_HEADER;
    case kRle4:
      v.form = BmpPixelForm::Rle4;
      return bits == 4 ? ZENTREL_NOTE_NONE : ZENTREL_NOTE_DAMAGED_HEADER;
    case kBitFields:
    case kAlphaBitFields:
      if (os2) return ZENTREL_NOTE_COMPRESSED;  // OS/2 Huffman
      v.form = BmpPixelForm::Masked;
      if (bits == 16 || bits == 32) return ZENTREL_NOTE_NONE;
      return bits == 0 || bits > 32 ? ZENTREL_NOTE_UNSUPPORTED_DEPTH : ZENTREL_NOTE_COMPRESSED;
    case kJpegOrRle24:
    case kPng:
    default:
      return ZENTREL_NOTE_COMPRESSED;
  }
}

}  // namespace

int ParseBmpVariant(const BYTE* head, std::size_t headBytes, std::uint64_t fileLength,
                    BmpVariant& v) {
  v = BmpVariant();
  if (headBytes < 18 || head[0] != 'B' || head[1] != 'M')
    return headBytes >= 2 && head[0] == 'B' && head[1] == 'M' ? ZENTREL_NOTE_DAMAGED_HEADER
                                                              : ZENTREL_NOTE_NOT_RECOGNISED;
  const BYTE* info = head + 14;
  const std::uint32_t size = LoadLE32(info);
  if ((size != kCoreHeaderBytes && size < kOs2ShortHeaderBytes) || 14ull + size > fileLength)
    return ZENTREL_NOTE_DAMAGED_HEADER;
  // The fields this parser reads all lie in the first 56 bytes of the header.
  const std::uint32_t known =
      static_cast<std::uint32_t>(std::min<std::uint64_t>({size, 56, headBytes - 14}));
  const bool core = size == kCoreHeaderBytes;
  const bool os2 = IsOs2Size(size);
  std::int64_t width = 0, height = 0;
  std::uint32_t compression = kRgb, colorsUsed = 0;
  if (core) {
    if (known < kCoreHeaderBytes) return ZENTREL_NOTE_DAMAGED_HEADER;
    width = LoadLE16(info + 4);
    height = LoadLE16(info + 6);
    v.bits = LoadLE16(info + 10);
    v.entryBytes = 3;
  } else {
    width = static_cast<std::int32_t>(Field32(info, known, 4));
    height = static_cast<std::int32_t>(Field32(info, known, 8));
    v.bits = Field16(info, known, 14);
    compression = Field32(info, known, 16);
    v.xPelsPerMeter = static_cast<LONG>(Field32(info, known, 24));
    v.yPelsPerMeter = static_cast<LONG>(Field32(info, known, 28));
    colorsUsed = Field32(info, known, 32);
  }
  if (width <= 0 || height == 0) return ZENTREL_NOTE_DAMAGED_HEADER;
  v.topDown = height < 0;
  v.width = static_cast<std::uint32_t>(width);
  v.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  if (v.height > 0x7FFFFFFFu) return ZENTREL_NOTE_DAMAGED_HEADER;

  const int note = ChoosePixelForm(compression, os2, v);
  if (note != ZENTREL_NOTE_NONE) return note;

  // Bit masks: inside a header of 52 bytes or more, else right after the
  // 40-byte header (a fourth, alpha, mask with method 6), before the table.
  std::uint64_t tableOffset = 14ull + size;
  if (v.form == BmpPixelForm::Masked &&
      (compression == kBitFields || compression == kAlphaBitFields)) {
    const BYTE* masks = info + kInfoHeaderBytes;
    if (size < 52) {
      const std::uint32_t maskBytes = compression == kAlphaBitFields ? 16 : 12;
      if (tableOffset + maskBytes > headBytes || tableOffset + maskBytes > fileLength)
        return ZENTREL_NOTE_DAMAGED_HEADER;
      tableOffset += maskBytes;
    }
    for (int i = 0; i < 3; ++i) v.masks[i] = LoadLE32(masks + 4 * i);
  }
  v.tableOffset = tableOffset;

  // The colour table of an indexed file: biClrUsed entries (0: one per
  // index value), at most 256 taken; none for the other forms.
  if (v.OutputBits() == 8) {
    const std::uint32_t full = 1u << v.bits;
    v.tableEntries = core || colorsUsed == 0 ? full : std::min<std::uint32_t>(colorsUsed, 256);
  }
  // The pixel data starts at bfOffBits when that lies after the table's
  // start and inside the file (a table that would reach past it is cut
  // there), else right after the table.
  const std::uint64_t offBits = LoadLE32(head + 10);
  if (offBits >= tableOffset && offBits < fileLength) {
    v.pixelOffset = offBits;
    v.tableEntries = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(v.tableEntries, (offBits - tableOffset) / v.entryBytes));
  } else {
    v.pixelOffset = tableOffset + std::uint64_t{v.tableEntries} * v.entryBytes;
  }
  return ZENTREL_NOTE_NONE;
}

}  // namespace zentrel::detail
