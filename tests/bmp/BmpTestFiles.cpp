// Builders of BMP files for the tests.
#include "BmpTestFiles.h"

#include <algorithm>
#include <filesystem>

namespace bmptest {

namespace {

void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

Bytes Encode(const BmpParts& parts) {
  const std::uint32_t pixelStart =
      14 + parts.infoSize + static_cast<std::uint32_t>(parts.table.size()) + parts.gap;
  const std::uint32_t total =
      pixelStart + static_cast<std::uint32_t>(parts.pixels.size()) + parts.trailing;
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, total);
  Put32(out, 0);
  Put32(out, parts.offBits.value_or(pixelStart));
  Put32(out, parts.infoSize);
  Put32(out, static_cast<std::uint32_t>(parts.width));
  Put32(out, static_cast<std::uint32_t>(parts.height));
  Put16(out, parts.planes);
  Put16(out, parts.bits);
  Put32(out, parts.compression);
  Put32(out, parts.sizeImage);
  Put32(out, static_cast<std::uint32_t>(parts.xPelsPerMeter));
  Put32(out, static_cast<std::uint32_t>(parts.yPelsPerMeter));
  Put32(out, parts.clrUsed);
  Put32(out, parts.clrImportant);
  if (parts.infoSize > 40) out.insert(out.end(), parts.infoSize - 40, 0xA5);
  out.insert(out.end(), parts.table.begin(), parts.table.end());
  out.insert(out.end(), parts.gap, 0x5A);
  out.insert(out.end(), parts.pixels.begin(), parts.pixels.end());
  out.insert(out.end(), parts.trailing, 0xFF);
  return out;
}

std::uint32_t RowBytes(std::uint32_t width, std::uint32_t bits) {
  return (width * bits + 31) / 32 * 4;
}

Bytes PatternTable(std::uint32_t count) {
  Bytes table;
  for (std::uint32_t i = 0; i < count; ++i) {
    table.push_back(static_cast<std::uint8_t>(i));
    table.push_back(static_cast<std::uint8_t>(255 - i));
    table.push_back(static_cast<std::uint8_t>(3 * i));
    table.push_back(static_cast<std::uint8_t>(i % 7));
  }
  return table;
}

std::uint8_t PatternByte(std::uint32_t column, std::uint32_t row) {
  return static_cast<std::uint8_t>(column * 7 + row * 13 + 1);
}

Bytes PatternPixels(std::uint32_t width, std::uint32_t height, std::uint32_t bits) {
  const std::uint32_t rowBytes = RowBytes(width, bits);
  const std::uint32_t used = width * bits / 8;
  Bytes pixels;
  for (std::uint32_t row = 0; row < height; ++row)
    for (std::uint32_t column = 0; column < rowBytes; ++column)
      pixels.push_back(column < used ? PatternByte(column, row) : 0xEE);
  return pixels;
}

BmpParts Plain8(std::int32_t width, std::int32_t height) {
  BmpParts parts;
  parts.width = width;
  parts.height = height;
  parts.bits = 8;
  parts.clrUsed = 256;
  parts.clrImportant = 17;
  parts.table = PatternTable(256);
  parts.pixels =
      PatternPixels(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 8);
  parts.sizeImage = static_cast<std::uint32_t>(parts.pixels.size());
  return parts;
}

BmpParts Plain24(std::int32_t width, std::int32_t height) {
  BmpParts parts;
  parts.width = width;
  parts.height = height;
  parts.bits = 24;
  parts.pixels =
      PatternPixels(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 24);
  parts.sizeImage = static_cast<std::uint32_t>(parts.pixels.size());
  return parts;
}

RecordContent ContentOf(const CImageDataModel& image) {
  RecordContent content;
  if (image.IsEmpty()) return content;
  const auto* header = reinterpret_cast<const std::uint8_t*>(image.GetBmh());
  content.header.assign(header, header + 40);
  const auto* table = reinterpret_cast<const std::uint8_t*>(image.GetPalette());
  content.table.assign(table, table + 4 * image.GetImageColors());
  content.pixels.assign(image.GetBuffer(),
                        image.GetBuffer() + std::size_t{image.GetLineBytes()} * image.GetHeight());
  return content;
}

bool operator==(const RecordContent& a, const RecordContent& b) {
  return a.header == b.header && a.table == b.table && a.pixels == b.pixels;
}

std::uint32_t U32At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes.at(offset)) | (std::uint32_t{bytes.at(offset + 1)} << 8) |
         (std::uint32_t{bytes.at(offset + 2)} << 16) | (std::uint32_t{bytes.at(offset + 3)} << 24);
}

std::uint16_t U16At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace bmptest
