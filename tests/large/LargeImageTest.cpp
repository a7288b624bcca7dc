// Large images: a 10000 × 10000 24-bit image (300 MB of pixels) read,
// turned, rotated, outline-marked and saved, an 8-bit one of that size
// filtered, and headers that claim 2^31 pixels refused without a giant
// allocation.
// Every pixel byte is a function of its place, so results are checked at
// spread-out samples against the mappings the operations define.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kSide = 10000;

/// The byte at byte column column of stored row row.
std::uint8_t Pattern(std::uint32_t row, std::uint32_t column) {
  return static_cast<std::uint8_t>(row * 7 + column * 13 + (column >> 8) + (row >> 5));
}

void MakePatterned(CImageDataModel& image, int width, int height, int bits) {
  zt::MakeImage(image, width, height, bits);
  if (image.IsEmpty()) return;
  if (bits == 8) zt::SetGreyTable(image);
  const std::uint32_t used = static_cast<std::uint32_t>(width) * (bits / 8);
  for (std::uint32_t row = 0; row < image.GetHeight(); ++row) {
    BYTE* bytes = image.GetBuffer() + std::size_t{row} * image.GetLineBytes();
    for (std::uint32_t c = 0; c < used; ++c) bytes[c] = Pattern(row, c);
  }
}

/// The three bytes of pixel column q of stored row r.
const BYTE* Pixel24(const CImageDataModel& image, std::uint32_t r, std::uint32_t q) {
  return image.GetBuffer() + std::size_t{r} * image.GetLineBytes() + 3 * std::size_t{q};
}

/// Checks every byte of every 97th stored row against the pattern.
void ExpectPatternRows(const CImageDataModel& image, const char* when) {
  const std::uint32_t used = image.GetWidth() * 3;
  for (std::uint32_t row = 0; row < image.GetHeight(); row += 97) {
    const BYTE* bytes = image.GetBuffer() + std::size_t{row} * image.GetLineBytes();
    for (std::uint32_t c = 0; c < used; ++c)
      ASSERT_EQ(bytes[c], Pattern(row, c)) << when << ": row " << row << ", byte " << c;
  }
}

TEST(LargeImage, SquareOfTenThousandReadsAndSavesByteForByte) {
  zt::TempDir dir;
  const std::string first = dir.File("first.bmp");
  const std::string second = dir.File("second.bmp");
  {
    CImageDataModel image;
    MakePatterned(image, kSide, kSide, 24);
    ASSERT_EQ(image.SaveBMPImage(first.c_str()), 1);
  }
  const std::uint64_t fileBytes = 54 + std::uint64_t{kSide} * 30000;
  CImageDataModel image;
  ASSERT_EQ(image.TestImageFormat(first.c_str()), 1);
  ASSERT_EQ(image.ReadBMPImage(first.c_str()), 1);
  ASSERT_EQ(image.GetWidth(), UINT{kSide});
  ASSERT_EQ(image.GetHeight(), UINT{kSide});
  ExpectPatternRows(image, "read");
  EXPECT_EQ(image.InitDIBData(), 1);  // 10000 is still shown
  ASSERT_EQ(image.SaveBMPImage(second.c_str()), 1);
  // The saved file ends with the top row.
  const int fd = ::open(second.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(static_cast<std::uint64_t>(::lseek(fd, 0, SEEK_END)), fileBytes);
  Bytes last(30000);
  EXPECT_EQ(::pread(fd, last.data(), last.size(), static_cast<off_t>(fileBytes - 30000)), 30000);
  ::close(fd);
  for (std::uint32_t c = 0; c < 30000; ++c) ASSERT_EQ(last[c], Pattern(kSide - 1, c)) << c;
}

TEST(LargeImage, SquareOfTenThousandTurnsBothWays) {
  CImageDataModel image;
  MakePatterned(image, kSide, kSide, 24);
  ASSERT_EQ(image.Left90(), 1);
  // The old pixel of stored row i, column j is now in stored row j, column
  // height − 1 − i.
  for (std::uint32_t i = 0; i < UINT{kSide}; i += 101)
    for (std::uint32_t j = 0; j < UINT{kSide}; j += 89) {
      const BYTE* p = Pixel24(image, j, kSide - 1 - i);
      for (std::uint32_t k = 0; k < 3; ++k) ASSERT_EQ(p[k], Pattern(i, 3 * j + k)) << i << "," << j;
    }
  ASSERT_EQ(image.Right90(), 1);
  ExpectPatternRows(image, "turned back");
}

TEST(LargeImage, SquareOfTenThousandRotates) {
  CImageDataModel image;
  MakePatterned(image, kSide, kSide, 24);
  const int angle = 33;
  ASSERT_EQ(image.Rotate(angle), 1);
  // Each destination pixel takes the source pixel the rotation maps it to.
  const double a = angle * (3.1415 / 180);
  const double s = std::sin(a), c = std::cos(a);
  const double cx = kSide / 2, cy = kSide / 2;
  int inside = 0;
  for (std::uint32_t i = 0; i < UINT{kSide}; i += 103)
    for (std::uint32_t j = 0; j < UINT{kSide}; j += 97) {
      const double dx = j - cx, dy = i - cy;
      const int r = static_cast<int>(dx * s + dy * c + cy);
      const int q = static_cast<int>(dx * c - dy * s + cx);
      const bool source = r >= 0 && r < kSide && q >= 0 && q < kSide;
      inside += source;
      const BYTE* p = Pixel24(image, i, j);
      for (std::uint32_t k = 0; k < 3; ++k)
        ASSERT_EQ(p[k], source ? Pattern(r, 3 * q + k) : 0) << i << "," << j;
    }
  EXPECT_GT(inside, 5000);  // most samples have a source, some do not
  EXPECT_LT(inside, 10000);
}

// The filter works in place in raster order, so a pixel's result depends on
// the rows above it and, through them, on columns further right; the
// top-left corner of the large result therefore equals that of the same
// filter run on a small image holding the large one's top-left part.
TEST(LargeImage, EightBitSquareOfTenThousandFiltersAsItsCornerDoes) {
  constexpr int kCornerWidth = 300, kCornerHeight = 60, kChecked = 50;
  for (int type : {0, 3}) {
    CImageDataModel image;
    MakePatterned(image, kSide, kSide, 8);
    CImageDataModel corner;
    zt::MakeImage(corner, kCornerWidth, kCornerHeight, 8);
    for (UINT y = 0; y < UINT{kCornerHeight}; ++y)
      for (UINT x = 0; x < UINT{kCornerWidth}; ++x)
        zt::SetIndexAt(corner, x, y, zt::IndexAt(image, x, y));
    ASSERT_EQ(image.RemoveNoise(3, 3, 2, type), 1);
    ASSERT_EQ(corner.RemoveNoise(3, 3, 2, type), 1);
    int changed = 0;
    for (UINT y = 0; y < UINT{kChecked}; ++y)
      for (UINT x = 0; x < UINT{kChecked}; ++x) {
        ASSERT_EQ(zt::IndexAt(image, x, y), zt::IndexAt(corner, x, y))
            << type << ": " << x << "," << y;
        changed += zt::IndexAt(image, x, y) != Pattern(kSide - 1 - y, x);
      }
    EXPECT_GT(changed, 200) << type;  // the filter did work there
    // The outermost rows and columns keep their values.
    for (UINT i = 0; i < UINT{kSide}; i += 7) {
      ASSERT_EQ(zt::IndexAt(image, i, kSide - 1), Pattern(0, i)) << type << ": " << i;
      ASSERT_EQ(zt::IndexAt(image, kSide - 1, i), Pattern(kSide - 1 - i, kSide - 1)) << type;
    }
  }
}

// Outline marking on 24-bit pixels scans in place from the top row down as
// well, so the same corner argument holds for it.
TEST(LargeImage, SquareOfTenThousandMarksOutlinesAsItsCornerDoes) {
  constexpr UINT kCornerWidth = 300, kCornerHeight = 60, kChecked = 50;
  CImageDataModel image;
  MakePatterned(image, kSide, kSide, 24);
  CImageDataModel corner;
  zt::MakeImage(corner, kCornerWidth, kCornerHeight, 24);
  // Top row y of each image is stored row height − 1 − y.
  auto top = [](const CImageDataModel& m, UINT y) {
    return m.GetBuffer() + std::size_t{m.GetHeight() - 1 - y} * m.GetLineBytes();
  };
  for (UINT y = 0; y < kCornerHeight; ++y)
    std::copy(top(image, y), top(image, y) + 3 * kCornerWidth, top(corner, y));
  ASSERT_EQ(image.Edge(), 1);
  ASSERT_EQ(corner.Edge(), 1);
  int changed = 0;
  for (UINT y = 0; y < kChecked; ++y)
    for (UINT c = 0; c < 3 * kChecked; ++c) {
      ASSERT_EQ(top(image, y)[c], top(corner, y)[c]) << y << "," << c;
      changed += top(image, y)[c] != Pattern(kSide - 1 - y, c);
    }
  EXPECT_GT(changed, 200);  // outlines were marked there
  // The outermost ring keeps its values.
  for (UINT i = 0; i < UINT{kSide}; i += 7) {
    ASSERT_EQ(Pixel24(image, 0, i)[0], Pattern(0, 3 * i)) << i;
    ASSERT_EQ(Pixel24(image, i, kSide - 1)[2], Pattern(i, 3 * (kSide - 1) + 2)) << i;
  }
}

/// A BMP header (and nothing more) for a width × height image at bits.
Bytes BmpHeader(std::int32_t width, std::int32_t height, std::uint16_t bits) {
  Bytes f(54, 0);
  auto put = [&f](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, bits, 2);
  return f;
}

TEST(LargeImage, HeadersClaimingTwoToTheThirtyOnePixelsAreRefusedWithoutAGiantAllocation) {
  zt::TempDir dir;
  struct Claim {
    std::int32_t width, height;
    std::uint16_t bits;
  };
  for (const Claim& claim :
       {Claim{65536, 32768, 8}, Claim{46341, 46341, 8}, Claim{32768, 65536, 24},
        Claim{0x7FFFFFFF, 1, 8}, Claim{1, 0x7FFFFFFF, 24}, Claim{0x7FFFFFFF, 0x7FFFFFFF, 24}}) {
    ASSERT_TRUE(zt::WriteFileBytes(dir.File("claim.bmp"),
                                   BmpHeader(claim.width, claim.height, claim.bits)));
    CImageDataModel image;
    zt::ResetLargestRequest();
    EXPECT_EQ(image.ReadBMPImage(dir.File("claim.bmp").c_str()), 0) << claim.width;
    EXPECT_EQ(image.IsEmpty(), 1);
    EXPECT_EQ(image.InitImage(claim.width, claim.height, claim.bits), 0) << claim.width;
    EXPECT_LT(zt::LargestRequest(), std::size_t{1} << 20) << claim.width;
  }
  // A GIF screen of 65535 × 32769: just over 2^31 pixels.
  Bytes gif = {'G',  'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0x01, 0x80,
               0x80, 0,   0,   0,   0,   0,   255,  255,  255};
  const Bytes rest = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
  gif.insert(gif.end(), rest.begin(), rest.end());
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("claim.gif"), gif));
  zt::MessageCapture messages;
  CImageDataModel image;
  zt::ResetLargestRequest();
  EXPECT_EQ(image.ReadGIFImage(dir.File("claim.gif").c_str()), 0);
  EXPECT_LT(zt::LargestRequest(), std::size_t{1} << 20);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Insufissiant Memory!"});
}

}  // namespace
