// Reading edge cases named for the choices they pin down: the size limit
// checked before any pixel memory is taken, and 16-bit interlaced PNG files
// read in the right byte order.
#include <gtest/gtest.h>

#include "IoOracles.h"
#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

TEST(IoRead, IoSizeLimitFollowsTheRecordsReadLimitInEveryFormat) {
  // A sheet wider than the painting limit loads; a read limit one byte below
  // its block refuses it before any pixel memory is taken.
  CImageDataModel wide;
  zt::MakeImage(wide, 10001, 2, 8);
  const std::uint64_t block = 40 + 1024 + 10004 * 3;
  for (zentrel::io::OutputFormat format :
       {zentrel::io::OutputFormat::PNG, zentrel::io::OutputFormat::TIFF}) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(zentrel::io::EncodeImage(wide, format, bytes));
    CImageDataModel image;
    EXPECT_TRUE(zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), image));
    EXPECT_EQ(image.GetWidth(), 10001u);
    CImageDataModel limited;
    limited.SetReadLimit(static_cast<DWORD>(block - 1));
    const zentrel::io::Status status =
        zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), limited);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.reason.rfind("too large", 0), 0u) << status.reason;
    EXPECT_TRUE(limited.IsEmpty());
    limited.SetReadLimit(static_cast<DWORD>(block));
    EXPECT_TRUE(zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), limited));
  }
  // A PNM header claiming 40000 x 40000 pixels with no data behind it: over
  // the block cap whatever the limit.
  const std::string huge = "P6\n40000 40000\n255\n";
  CImageDataModel image;
  const zentrel::io::Status status = zentrel::io::ReadImageFromMemory(
      reinterpret_cast<const std::uint8_t*>(huge.data()), huge.size(), image);
  EXPECT_EQ(status.reason.rfind("too large", 0), 0u) << status.reason;
}

TEST(IoRead, Png16InterlacedFilesGiveTheSamePictureAsTheirNonInterlacedTwins) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "test data missing";
  for (const char* kind : {"0g16", "2c16", "4a16", "6a16"}) {
    CImageDataModel plain, interlaced;
    ASSERT_TRUE(zentrel::io::ReadImage(
        zt::TestDataPath(std::string("pngsuite/basn") + kind + ".png"), plain));
    ASSERT_TRUE(zentrel::io::ReadImage(
        zt::TestDataPath(std::string("pngsuite/basi") + kind + ".png"), interlaced));
    EXPECT_EQ(iot::MaxDifference(iot::FromRecord(plain), iot::FromRecord(interlaced)), 0) << kind;
  }
}

TEST(IoRead, ContentDecidesTheFormatAndAFilledRecordIsRefused) {
  const struct {
    std::vector<std::uint8_t> head;
    zentrel::io::FileFormat format;
  } cases[] = {{{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, zentrel::io::FileFormat::PNG},
               {{'I', 'I', 42, 0}, zentrel::io::FileFormat::TIFF},
               {{'M', 'M', 0, 42}, zentrel::io::FileFormat::TIFF},
               {{'I', 'I', 43, 0}, zentrel::io::FileFormat::TIFF},
               {{'P', '4'}, zentrel::io::FileFormat::PNM},
               {{'G', 'I', 'F', '8'}, zentrel::io::FileFormat::GIF},
               {{'B', 'M'}, zentrel::io::FileFormat::BMP},
               {{'P', '8'}, zentrel::io::FileFormat::Unknown},
               {{'I', 'I', 42}, zentrel::io::FileFormat::Unknown},
               {{}, zentrel::io::FileFormat::Unknown}};
  for (const auto& c : cases)
    EXPECT_EQ(zentrel::io::DetectFormat(c.head.data(), c.head.size()), c.format)
        << zentrel::io::FormatName(c.format);
  CImageDataModel image;
  zt::MakeImage(image, 2, 2, 24);
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(zentrel::io::EncodeImage(image, zentrel::io::OutputFormat::PNG, png));
  const zentrel::io::Status status =
      zentrel::io::ReadImageFromMemory(png.data(), png.size(), image);
  EXPECT_FALSE(status);
  EXPECT_EQ(status.reason, "the record already holds an image");
}

}  // namespace
