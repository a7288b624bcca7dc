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
