// Helpers of the robustness tests.
#include "RobustSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/TestSupport.h"

namespace robust {

void MakePatterned(CImageDataModel& image, int width, int height, int bits) {
  zt::MakeImage(image, width, height, bits);
  if (image.IsEmpty()) return;
  if (bits == 8)
    for (int i = 0; i < 256; ++i)
      image.GetPalette()[i] =
          RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0};
  const UINT rowBytes = static_cast<UINT>(width) * static_cast<UINT>(bits / 8);
  for (UINT row = 0; row < image.GetHeight(); ++row) {
    BYTE* bytes = image.GetBuffer() + std::size_t{row} * image.GetLineBytes();
    for (UINT i = 0; i < rowBytes; ++i) bytes[i] = static_cast<BYTE>(i * 13 + row * 7 + 1);
  }
}

Bytes ReadableGif(const Bytes& f) {
  if (f.size() < 13) return f;
  Bytes out = f;
  out[10] |= 0x80;
  out[12] = 0;
  const std::size_t start = 13 + (3u << ((out[10] & 7) + 1));
  std::size_t pos = start;
  while (pos + 1 < out.size() && out[pos] == 0x21) {
    pos += 2;  // introducer and label, then sub-blocks up to a zero count
    while (pos < out.size() && out[pos] != 0) pos += out[pos] + 1u;
    ++pos;
  }
  if (pos <= start || pos >= out.size()) return out;
  out.erase(out.begin() + static_cast<std::ptrdiff_t>(start),
            out.begin() + static_cast<std::ptrdiff_t>(pos));
  return out;
}

Bytes PlainGif(int width, int height, const Bytes& indices) {
  Bytes file = {'G', 'I', 'F', '8', '9', 'a'};
  auto put16 = [&file](int v) {
    file.push_back(static_cast<std::uint8_t>(v & 0xFF));
    file.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put16(width);
  put16(height);
  file.insert(file.end(), {0xF7, 0, 0});  // a global table of 256 entries
  for (int i = 0; i < 256; ++i)
    file.insert(file.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                             static_cast<std::uint8_t>(i / 2)});
  file.push_back(0x2C);
  put16(0);
  put16(0);
  put16(width);
  put16(height);
  file.push_back(0);
  file.push_back(8);  // minimum code size: clear 256, end 257, 9-bit codes
  // After a clear, 254 codes add 253 entries (258 to 510): the width stays 9.
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  auto code = [&](std::uint32_t value) {
    bits |= value << count;
    count += 9;
    while (count >= 8) {
      data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i % 254 == 0) code(256);
    code(indices[i]);
  }
  code(257);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    file.push_back(static_cast<std::uint8_t>(n));
    file.insert(file.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  file.push_back(0);
  file.push_back(0x3B);
  return file;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool Snapshot::operator==(const Snapshot& other) const {
  return width == other.width && height == other.height && lineBytes == other.lineBytes &&
         range.left == other.range.left && range.top == other.range.top &&
         range.right == other.range.right && range.bottom == other.range.bottom &&
         header == other.header && table == other.table && pixels == other.pixels;
}

Snapshot Take(const CImageDataModel& image) {
  Snapshot s;
  s.width = image.GetWidth();
  s.height = image.GetHeight();
  s.lineBytes = image.GetLineBytes();
  s.range = image.GetRange();
  if (image.IsEmpty()) return s;
  const BYTE* header = reinterpret_cast<const BYTE*>(image.GetBmh());
  s.header.assign(header, header + sizeof(BITMAPINFOHEADER));
  const BYTE* table = reinterpret_cast<const BYTE*>(image.GetPalette());
  s.table.assign(table, table + 4 * image.GetImageColors());
  s.pixels.assign(image.GetBuffer(),
                  image.GetBuffer() + std::size_t{image.GetLineBytes()} * image.GetHeight());
  return s;
}

}  // namespace robust
