// Reading BMP files: pixels and colours, where the table and the rows are
// found, what is refused, and files that are cut short or run long.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BmpTestFiles.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

using bmptest::BmpParts;
using bmptest::Bytes;
using bmptest::Record;

class BmpRead : public ::testing::Test {
 protected:
  /// Writes parts as a file and reads it into image; the read's result.
  int Read(const BmpParts& parts, CImageDataModel& image) {
    return ReadBytes(bmptest::Encode(parts), image);
  }
  int ReadBytes(const Bytes& bytes, CImageDataModel& image) {
    const std::string path = dir.File("in.bmp");
    EXPECT_TRUE(zt::WriteFileBytes(path, bytes));
    return image.ReadBMPImage(path);
  }
  zt::TempDir dir;
};

/// Expects every pixel of an 8-bit record to hold the pattern index, with
/// the pattern table's colour.
void ExpectPattern8(const CImageDataModel& image) {
  const UINT h = image.GetHeight();
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) {
      const std::uint8_t index = bmptest::PatternByte(x, h - 1 - y);
      ASSERT_EQ(zt::IndexAt(image, x, y), index) << x << "," << y;
      ASSERT_EQ(image.GetPixel(x, y),
                RGB(static_cast<BYTE>(3 * index), static_cast<BYTE>(255 - index), index));
    }
}

TEST_F(BmpRead, EightBitFileGivesItsIndicesColoursAndHeader) {
  Record image;
  image.SetScale(2.5);
  BmpParts parts = bmptest::Plain8(13, 5);
  ASSERT_EQ(Read(parts, image), 1);
  EXPECT_EQ(image.GetWidth(), 13u);
  EXPECT_EQ(image.GetHeight(), 5u);
  EXPECT_EQ(image.GetLineBytes(), 16u);
  EXPECT_EQ(image.GetColorPixel(), 8);
  EXPECT_EQ(image.GetRange(), CRect(0, 0, 12, 4));
  EXPECT_EQ(image.GetScale(), 1.0);
  ExpectPattern8(image);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(image.GetPalette()[i].rgbReserved, i % 7) << "reserved bytes are kept";
  // Row padding is kept as the file had it; the spare row stays zero.
  EXPECT_EQ(image.GetBuffer()[13], 0xEE);
  for (UINT i = 0; i < 16; ++i) EXPECT_EQ(image.GetBuffer()[16 * 5 + i], 0);
  const BITMAPINFOHEADER& h = *image.GetBmh();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 13);
  EXPECT_EQ(h.biHeight, 5);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biSizeImage, 80u);
  EXPECT_EQ(h.biXPelsPerMeter, 2835);
  EXPECT_EQ(h.biYPelsPerMeter, 2834);
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biClrImportant, 17u);
}

TEST_F(BmpRead, TwentyFourBitFileGivesBlueGreenRedTriples) {
  CImageDataModel image;
  ASSERT_EQ(Read(bmptest::Plain24(5, 3), image), 1);
  EXPECT_EQ(image.GetLineBytes(), 16u);
  EXPECT_EQ(image.GetImageColors(), 0);
  EXPECT_EQ(reinterpret_cast<BYTE*>(image.GetPalette()), image.GetBuffer());
  for (UINT y = 0; y < 3; ++y)
    for (UINT x = 0; x < 5; ++x) {
      const UINT row = 2 - y;
      EXPECT_EQ(image.GetPixel(x, y),
                RGB(bmptest::PatternByte(3 * x + 2, row), bmptest::PatternByte(3 * x + 1, row),
                    bmptest::PatternByte(3 * x, row)));
    }
  EXPECT_EQ(image.GetBmh()->biClrUsed, 0u);
}

// bmp-table-by-header: the table holds biClrUsed entries, so the rows of a
// file with a short table start right after it, not 1024 bytes after the
// header.
TEST_F(BmpRead, BmpTableByHeaderShortColourTableIsReadAsLongAsItIsAndTheRestStaysBlack) {
  CImageDataModel image;
  BmpParts parts = bmptest::Plain8(9, 4);
  parts.clrUsed = 3;
  parts.table = bmptest::PatternTable(3);
  ASSERT_EQ(Read(parts, image), 1);
  const Bytes expected = bmptest::PatternTable(3);
  EXPECT_EQ(Bytes(reinterpret_cast<BYTE*>(image.GetPalette()),
                  reinterpret_cast<BYTE*>(image.GetPalette()) + 12),
            expected);
  for (int i = 3; i < 256; ++i) {
    const RGBQUAD q = image.GetPalette()[i];
    ASSERT_EQ(q.rgbBlue | q.rgbGreen | q.rgbRed | q.rgbReserved, 0) << i;
  }
  // The rows start where the file says, not 1024 bytes after the header.
  for (UINT x = 0; x < 9; ++x) EXPECT_EQ(zt::IndexAt(image, x, 3), bmptest::PatternByte(x, 0));
  EXPECT_EQ(image.GetBmh()->biClrUsed, 256u) << "the record's table has 256 entries";
}

// bmp-table-by-header: the table follows the info header, whatever its size.
TEST_F(BmpRead, BmpTableByHeaderLongInfoHeadersPutTheTableAfterThemAndTheRecordKeepsForty) {
  for (std::uint32_t infoSize : {52u, 56u, 64u, 108u, 124u}) {
    Record image;
    BmpParts parts = bmptest::Plain8(7, 6);
    parts.infoSize = infoSize;
    parts.clrUsed = 252;
    parts.table = bmptest::PatternTable(252);
    ASSERT_EQ(Read(parts, image), 1) << infoSize;
    EXPECT_EQ(image.GetBmh()->biSize, 40u);
    EXPECT_EQ(image.GetBmh()->biClrUsed, 256u);
    EXPECT_EQ(image.GetPalette()[0].rgbGreen, 255) << infoSize;
    EXPECT_EQ(image.GetPalette()[251].rgbBlue, 251) << infoSize;
    EXPECT_EQ(image.GetPalette()[252].rgbGreen, 0) << infoSize;
    ExpectPattern8(image);
  }
}

// bmp-table-by-header: the rows start at bfOffBits, so a gap between the
// table and the rows shifts nothing.
TEST_F(BmpRead, BmpTableByHeaderRowsStartAtOffBitsOnlyWhenThatLiesInsideTheFileAfterTheTable) {
  // A gap between table and rows, declared correctly: the rows are found.
  {
    CImageDataModel image;
    BmpParts parts = bmptest::Plain8(6, 3);
    parts.gap = 100;
    ASSERT_EQ(Read(parts, image), 1);
    ExpectPattern8(image);
  }
  // Offsets that cannot be right fall back to right after the table.
  // (1102 is the length of the file: no byte lies there.)
  for (std::uint32_t offBits : {0u, 14u, 54u, 1077u, 1102u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    CImageDataModel image;
    BmpParts parts = bmptest::Plain8(6, 3);
    parts.offBits = offBits;
    ASSERT_EQ(Read(parts, image), 1) << offBits;
    ExpectPattern8(image);
  }
  // A 24-bit file may carry a table it does not need; it is skipped.
  {
    CImageDataModel image;
    BmpParts parts = bmptest::Plain24(4, 2);
    parts.clrUsed = 2;
    parts.table = bmptest::PatternTable(2);
    parts.offBits = 0;
    ASSERT_EQ(Read(parts, image), 1);
    EXPECT_EQ(image.GetPixel(0, 1), RGB(bmptest::PatternByte(2, 0), bmptest::PatternByte(1, 0),
                                        bmptest::PatternByte(0, 0)));
  }
}

TEST_F(BmpRead, TableCountsOfZeroOrAbove256MeanAFullTable) {
  for (std::uint32_t clrUsed : {0u, 300u, 0xFFFFFFFFu}) {
    CImageDataModel image;
    BmpParts parts = bmptest::Plain8(5, 2);
    parts.clrUsed = clrUsed;
    if (clrUsed == 300) parts.table = bmptest::PatternTable(300);
    ASSERT_EQ(Read(parts, image), 1) << clrUsed;
    EXPECT_EQ(image.GetPalette()[255].rgbRed, static_cast<BYTE>(3 * 255)) << clrUsed;
    ExpectPattern8(image);
  }
}

// bmp-plain-rows-only: compressed pixels (RLE, bit fields, JPEG, PNG) and
// the 12- and 16-byte OS/2 headers are refused with the depths the record
// cannot hold, never loaded as noise or misread.
TEST_F(BmpRead, BmpPlainRowsOnlyUnsupportedDataIsRefusedLeavingTheFileSizeAndNoBlock) {
  struct Case {
    std::uint16_t bits;
    std::uint32_t compression;
    std::uint32_t infoSize;
  };
  const Case cases[] = {{1, 0, 40}, {4, 0, 40}, {16, 0, 40}, {32, 0, 40}, {0, 0, 40},
                        {8, 1, 40}, {8, 2, 40}, {24, 3, 40}, {24, 4, 40}, {8, 5, 124},
                        {8, 0, 12}, {8, 0, 16}, {24, 0, 39}, {8, 0, 0},   {9, 0, 40}};
  for (const Case& c : cases) {
    Record image;
    image.SetScale(3.0);
    image.SetRange(1, 2, 3, 4);
    BmpParts parts = bmptest::Plain8(21, 11);
    parts.bits = c.bits;
    parts.compression = c.compression;
    parts.infoSize = c.infoSize < 40 ? 40 : c.infoSize;
    Bytes bytes = bmptest::Encode(parts);
    bytes[14] = static_cast<std::uint8_t>(c.infoSize);  // a short header's size field
    ASSERT_EQ(ReadBytes(bytes, image), 0) << c.bits << " " << c.compression << " " << c.infoSize;
    EXPECT_EQ(image.IsEmpty(), 1);
    EXPECT_EQ(image.GetWidth(), 21u);
    EXPECT_EQ(image.GetHeight(), 11u);
    EXPECT_EQ(image.GetRange(), CRect(1, 2, 3, 4));
    EXPECT_EQ(image.GetScale(), 3.0);
  }
}

TEST_F(BmpRead, TopDownAndNonPositiveSizesAreRefused) {
  const std::pair<int, int> sizes[] = {{127, -64}, {-127, 64}, {0, 5}, {5, 0}};
  for (const auto& [width, height] : sizes) {
    CImageDataModel image;
    image.SetScale(3.0);
    BmpParts parts = bmptest::Plain8(5, 2);
    parts.width = width;
    parts.height = height;
    ASSERT_EQ(Read(parts, image), 0) << width << "x" << height;
    EXPECT_EQ(image.IsEmpty(), 1);
    EXPECT_EQ(image.GetWidth(), static_cast<UINT>(width));
    EXPECT_EQ(image.GetHeight(), static_cast<UINT>(height));
    // The depth was accepted, so the working rectangle and scale are set.
    EXPECT_EQ(image.GetRange(), CRect(0, 0, width - 1, height - 1));
    EXPECT_EQ(image.GetScale(), 1.0);
  }
}

TEST_F(BmpRead, HugeDimensionsAreRefusedWithoutAllocating) {
  const struct {
    std::int32_t width, height;
    std::uint16_t bits;
  } cases[] = {
      {3000000, 2000000, 24},       {65536, 65535, 8}, {0x7FFFFFFF, 1, 24}, {1, 0x7FFFFFFF, 8},
      {0x7FFFFFFF, 0x7FFFFFFF, 24}, {46341, 46341, 8}, {26755, 26755, 24}};
  for (const auto& c : cases) {
    CImageDataModel image;
    BmpParts parts = bmptest::Plain24(4, 4);
    parts.width = c.width;
    parts.height = c.height;
    parts.bits = c.bits;
    const long before = zt::NothrowAllocationCount();
    ASSERT_EQ(Read(parts, image), 0) << c.width << "x" << c.height;
    EXPECT_EQ(zt::NothrowAllocationCount(), before);
    EXPECT_EQ(image.IsEmpty(), 1);
    EXPECT_EQ(image.GetWidth(), static_cast<UINT>(c.width));
  }
}

TEST_F(BmpRead, FilesCutInTheHeadersAreRefused) {
  const Bytes whole = bmptest::Encode(bmptest::Plain8(5, 2));
  for (std::size_t length : {0u, 1u, 2u, 13u, 14u, 30u, 53u}) {
    CImageDataModel image;
    ASSERT_EQ(ReadBytes(Bytes(whole.begin(), whole.begin() + length), image), 0) << length;
    EXPECT_EQ(image.IsEmpty(), 1);
    // The info header was never complete, so the size was not taken from it.
    EXPECT_EQ(image.GetWidth(), 0u);
  }
}

TEST_F(BmpRead, FilesCutInTheTableOrRowsKeepWhatTheyHoldAndZeroTheRest) {
  BmpParts parts = bmptest::Plain8(8, 4);
  const Bytes whole = bmptest::Encode(parts);
  // Cut inside the table: entries up to the cut, all pixels zero.
  {
    CImageDataModel image;
    ASSERT_EQ(ReadBytes(Bytes(whole.begin(), whole.begin() + 54 + 4 * 10 + 2), image), 1);
    EXPECT_EQ(image.GetPalette()[9].rgbGreen, 255 - 9);
    EXPECT_EQ(image.GetPalette()[10].rgbBlue, 10);
    EXPECT_EQ(image.GetPalette()[10].rgbGreen, 255 - 10);
    EXPECT_EQ(image.GetPalette()[10].rgbRed, 0) << "byte after the cut";
    EXPECT_EQ(image.GetPalette()[11].rgbGreen, 0);
    for (UINT i = 0; i < 8 * 4; ++i) ASSERT_EQ(image.GetBuffer()[i], 0);
  }
  // Cut after one and a half rows: the bottom row complete, half of the
  // next, the rest zero.
  {
    CImageDataModel image;
    ASSERT_EQ(ReadBytes(Bytes(whole.begin(), whole.begin() + 1078 + 12), image), 1);
    for (UINT x = 0; x < 8; ++x) EXPECT_EQ(zt::IndexAt(image, x, 3), bmptest::PatternByte(x, 0));
    for (UINT x = 0; x < 4; ++x) EXPECT_EQ(zt::IndexAt(image, x, 2), bmptest::PatternByte(x, 1));
    for (UINT x = 4; x < 8; ++x) EXPECT_EQ(zt::IndexAt(image, x, 2), 0);
    for (UINT x = 0; x < 8; ++x) EXPECT_EQ(zt::IndexAt(image, x, 0), 0);
  }
}

// bmp-extra-bytes-ignored: bytes after the pixel rows are never read into
// the block; the spare row stays zero.
TEST_F(BmpRead, BmpExtraBytesIgnoredAndNeverWrittenPastThePixelArea) {
  for (std::uint16_t bits : {8, 24}) {
    CImageDataModel image;
    BmpParts parts = bits == 8 ? bmptest::Plain8(3, 2) : bmptest::Plain24(3, 2);
    parts.trailing = 5000;
    ASSERT_EQ(Read(parts, image), 1) << bits;
    const UINT area = image.GetLineBytes() * image.GetHeight();
    EXPECT_EQ(Bytes(image.GetBuffer(), image.GetBuffer() + area), parts.pixels);
    for (UINT i = 0; i < image.GetLineBytes(); ++i)
      EXPECT_EQ(image.GetBuffer()[area + i], 0) << "spare row";
  }
}

TEST_F(BmpRead, MissingUnreadableAndForeignFilesAreRefused) {
  CImageDataModel image;
  EXPECT_EQ(image.ReadBMPImage(dir.File("missing.bmp")), 0);
  EXPECT_EQ(image.ReadBMPImage(dir.path()), 0);
  Bytes gif = bmptest::Encode(bmptest::Plain8(4, 4));
  gif[0] = 'G';
  EXPECT_EQ(ReadBytes(gif, image), 0);
  gif[0] = 'M';
  gif[1] = 'B';
  EXPECT_EQ(ReadBytes(gif, image), 0);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetWidth(), 0u);
}

// read-releases-held: once the file's headers are read, a held image is
// released (the sanitizer build's leak check sees any block kept), also
// when the file is then refused.
TEST_F(BmpRead, ReadReleasesHeldImageNeverPairedWithForeignDimensions) {
  // A file that cannot be opened leaves the held image alone.
  CImageDataModel image;
  zt::MakeImage(image, 4, 4, 24);
  EXPECT_EQ(image.ReadBMPImage(dir.File("missing.bmp")), 0);
  EXPECT_EQ(image.IsEmpty(), 0);
  // A refused file with other dimensions releases it, so that pixel access
  // cannot address the old block with the new size.
  BmpParts parts = bmptest::Plain8(300, 200);
  parts.bits = 4;
  ASSERT_EQ(Read(parts, image), 0);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetPixel(299, 199), 0u);
  // A readable file replaces it.
  zt::MakeImage(image, 2, 2, 24);
  ASSERT_EQ(Read(bmptest::Plain8(300, 200), image), 1);
  EXPECT_EQ(image.GetWidth(), 300u);
  ExpectPattern8(image);
}

TEST_F(BmpRead, NoMemoryForTheBlockGivesZeroAndAnEmptyRecord) {
  CImageDataModel image;
  const std::string path = dir.File("in.bmp");
  ASSERT_TRUE(zt::WriteFileBytes(path, bmptest::Encode(bmptest::Plain8(30, 20))));
  zt::FailNthAllocation fail(1);
  EXPECT_EQ(image.ReadBMPImage(path), 0);
  EXPECT_TRUE(fail.Triggered());
  EXPECT_EQ(image.IsEmpty(), 1);
}

}  // namespace
