// Test helpers and the reference transforms, one pixel at a time.
#include "TransformTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace tt {

std::size_t RowBytes(std::size_t width, int bits) {
  return (width * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

Bytes PixelArea(const CImageDataModel& image) {
  const BYTE* bits = image.GetBuffer();
  return Bytes(bits, bits + static_cast<std::size_t>(image.GetLineBytes()) * image.GetHeight());
}

void FillRandom(CImageDataModel& image, std::mt19937& random) {
  BYTE* bits = image.GetBuffer();
  const std::size_t n = static_cast<std::size_t>(image.GetLineBytes()) * image.GetHeight();
  for (std::size_t k = 0; k < n; ++k) bits[k] = static_cast<BYTE>(random());
}

std::uint32_t LabelColour(int label) {
  // Blue, green, red as stored.
  return static_cast<std::uint32_t>(label) | static_cast<std::uint32_t>(label + 100) << 8 |
         static_cast<std::uint32_t>(label + 150) << 16;
}

void FillLabels(CImageDataModel& image) {
  const std::size_t b = image.GetColorPixel() / 8;
  for (UINT r = 0; r < image.GetHeight(); ++r)
    for (UINT q = 0; q < image.GetWidth(); ++q) {
      BYTE* p = image.GetBuffer() + r * image.GetLineBytes() + q * b;
      const int label = static_cast<int>(10 * r + q + 1);
      if (b == 1) {
        *p = static_cast<BYTE>(label);
      } else {
        const std::uint32_t colour = LabelColour(label);
        for (int k = 0; k < 3; ++k) p[k] = static_cast<BYTE>(colour >> (8 * k));
      }
    }
}

std::vector<int> DisplayedLabels(const CImageDataModel& image) {
  const std::size_t b = image.GetColorPixel() / 8;
  std::vector<int> labels;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) {
      const BYTE* p =
          image.GetBuffer() + (image.GetHeight() - 1 - y) * image.GetLineBytes() + x * b;
      if (b == 1) {
        labels.push_back(*p);
        continue;
      }
      const std::uint32_t colour = p[0] | p[1] << 8 | p[2] << 16;
      const int label = p[0];
      labels.push_back(colour == 0 ? 0 : colour == LabelColour(label) ? label : -1);
    }
  return labels;
}

std::size_t PrefixBytes(const CImageDataModel& image) {
  return static_cast<std::size_t>(image.GetBuffer() -
                                  reinterpret_cast<const BYTE*>(image.GetBmh()));
}

std::size_t FreshBlockBytes(const CImageDataModel& image) {
  return PrefixBytes(image) +
         static_cast<std::size_t>(image.GetLineBytes()) * (image.GetHeight() + 1);
}

Bytes BlockTail(const CImageDataModel& image, std::size_t blockBytes) {
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetBmh());
  const BYTE* rowsEnd =
      image.GetBuffer() + static_cast<std::size_t>(image.GetLineBytes()) * image.GetHeight();
  return Bytes(rowsEnd, start + blockBytes);
}

Snapshot Take(const CImageDataModel& image) {
  Snapshot s{image.GetHandle(),    image.GetBmh(),   image.GetPalette(),
             image.GetBuffer(),    image.GetWidth(), image.GetHeight(),
             image.GetLineBytes(), image.GetRange(), {}};
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetBmh());
  s.block.assign(start, start + FreshBlockBytes(image));
  return s;
}

void ExpectUnchanged(const CImageDataModel& image, const Snapshot& before) {
  EXPECT_EQ(image.GetHandle(), before.handle);
  EXPECT_EQ(image.GetBmh(), before.header);
  EXPECT_EQ(image.GetPalette(), before.palette);
  EXPECT_EQ(image.GetBuffer(), before.bits);
  EXPECT_EQ(image.GetWidth(), before.width);
  EXPECT_EQ(image.GetHeight(), before.height);
  EXPECT_EQ(image.GetLineBytes(), before.lineBytes);
  EXPECT_EQ(image.GetRange(), before.range);
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetBmh());
  EXPECT_TRUE(std::equal(before.block.begin(), before.block.end(), start));
}

namespace {

void CopyPixel(const Bytes& from, std::size_t fromOffset, Bytes& to, std::size_t toOffset,
               std::size_t b) {
  std::memcpy(to.data() + toOffset, from.data() + fromOffset, b);
}

}  // namespace

Bytes ReferenceFlip(const Bytes& rows, std::size_t width, std::size_t height, int bits) {
  const std::size_t line = RowBytes(width, bits);
  Bytes out(line * height);
  for (std::size_t i = 0; i < height; ++i)
    std::memcpy(out.data() + i * line, rows.data() + (height - 1 - i) * line, line);
  return out;
}

Bytes ReferenceMirror(const Bytes& rows, std::size_t width, std::size_t height, int bits) {
  const std::size_t line = RowBytes(width, bits);
  const std::size_t b = static_cast<std::size_t>(bits) / 8;
  Bytes out(line * height, 0);
  for (std::size_t i = 0; i < height; ++i)
    for (std::size_t j = 0; j < width; ++j)
      CopyPixel(rows, i * line + (width - 1 - j) * b, out, i * line + j * b, b);
  return out;
}

Bytes ReferenceTurn(const Bytes& rows, std::size_t width, std::size_t height, int bits, bool left) {
  const std::size_t line = RowBytes(width, bits);
  const std::size_t newLine = RowBytes(height, bits);
  const std::size_t b = static_cast<std::size_t>(bits) / 8;
  Bytes out(newLine * width, 0);
  for (std::size_t i = 0; i < height; ++i)
    for (std::size_t j = 0; j < width; ++j) {
      const std::size_t to = left ? j * newLine + (height - 1 - i) * b  // row j, column H − 1 − i
                                  : (width - 1 - j) * newLine + i * b;  // row W − 1 − j, column i
      CopyPixel(rows, i * line + j * b, out, to, b);
    }
  return out;
}

Bytes ReferenceRotate(const Bytes& rows, std::size_t width, std::size_t height, int bits,
                      int angle) {
  const std::size_t line = RowBytes(width, bits);
  const std::size_t b = static_cast<std::size_t>(bits) / 8;
  const double a = angle * (3.1415 / 180.0);
  const double s = std::sin(a);
  const double c = std::cos(a);
  const double cx = static_cast<double>(width / 2);
  const double cy = static_cast<double>(height / 2);
  Bytes out(line * height, 0);
  for (std::size_t i = 0; i < height; ++i)
    for (std::size_t j = 0; j < width; ++j) {
      const double dx = static_cast<double>(j) - cx;
      const double dy = static_cast<double>(i) - cy;
      const long long r = static_cast<long long>(dx * s + dy * c + cy);
      const long long q = static_cast<long long>(dx * c - dy * s + cx);
      if (r >= 0 && r < static_cast<long long>(height) && q >= 0 &&
          q < static_cast<long long>(width))
        CopyPixel(rows, static_cast<std::size_t>(r) * line + static_cast<std::size_t>(q) * b, out,
                  i * line + j * b, b);
    }
  return out;
}

}  // namespace tt
