// Writing: record → PNG/TIFF/PGM/PPM → record is exact, the files open in
// Pillow and ImageMagick with the same pixels, and a failed write leaves
// the existing file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "IoOracles.h"
#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

using zentrel::io::OutputFormat;
using zentrel::io::TiffCompression;

// A reproducible image: noise, flat runs and a random colour table.
void Fill(CImageDataModel& image, int width, int height, int bits, std::uint32_t seed) {
  zt::MakeImage(image, width, height, bits);
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = (x / 13 + y) % 3 == 0 ? next() : 0x3C7E5A + y;
      if (bits == 24)
        image.SetPixel(x, y, v & 0xFFFFFF);
      else
        zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(v));
    }
  if (bits == 8)
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t c = next();
      image.GetPalette()[i] = RGBQUAD{BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0};
    }
}

// The stored bytes of the image and, for 8-bit, its colour table must match.
void ExpectSameRecord(const CImageDataModel& a, const CImageDataModel& b, const std::string& what) {
  ASSERT_EQ(a.GetColorPixel(), b.GetColorPixel()) << what;
  ASSERT_EQ(a.GetWidth(), b.GetWidth()) << what;
  ASSERT_EQ(a.GetHeight(), b.GetHeight()) << what;
  const std::size_t pixels = std::size_t(a.GetLineBytes()) * a.GetHeight();
  EXPECT_EQ(0, std::memcmp(a.GetBuffer(), b.GetBuffer(), pixels)) << what;
  if (a.GetColorPixel() == 8)
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD p = a.GetPalette()[i], q = b.GetPalette()[i];
      ASSERT_EQ(RGB(p.rgbRed, p.rgbGreen, p.rgbBlue), RGB(q.rgbRed, q.rgbGreen, q.rgbBlue))
          << what << " entry " << i;
    }
}

struct Format {
  const char* name;
  OutputFormat format;
  TiffCompression compression;
};
const Format kFormats[] = {{"png", OutputFormat::PNG, TiffCompression::Deflate},
                           {"tif", OutputFormat::TIFF, TiffCompression::Deflate},
                           {"tif", OutputFormat::TIFF, TiffCompression::LZW}};

TEST(IoRoundTrip, PngAndTiffGiveBackTheSameRecordFromOneToTenThousandPixelsWide) {
  zt::TempDir dir;
  for (const Format& f : kFormats)
    for (int bits : {8, 24})
      for (int width : {1, 2, 3, 5, 31, 257, 1001, 10000})
        for (int height : {1, 3}) {
          const std::string what = std::string(f.name) + " " + std::to_string(bits) + "-bit " +
                                   std::to_string(width) + "x" + std::to_string(height);
          CImageDataModel image, back;
          Fill(image, width, height, bits, width * 7 + height);
          const std::string path = dir.File(std::string("r.") + f.name);
          const zentrel::io::Status written =
              zentrel::io::WriteImage(image, path, f.format, f.compression);
          ASSERT_TRUE(written) << what << ": " << written.reason;
          const zentrel::io::Status read = zentrel::io::ReadImage(path, back);
          ASSERT_TRUE(read) << what << ": " << read.reason;
          ExpectSameRecord(image, back, what);
        }
}

TEST(IoRoundTrip, PgmGreyOnlyAndPpmKeepEveryColour) {
  CImageDataModel grey, colour, back;
  Fill(grey, 301, 7, 8, 1);
  zt::SetGreyTable(grey);
  Fill(colour, 301, 7, 24, 2);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(zentrel::io::EncodeImage(grey, OutputFormat::PGM, bytes));
  EXPECT_EQ(bytes[1], '5');
  ASSERT_TRUE(zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), back));
  ExpectSameRecord(grey, back, "pgm");
  for (const CImageDataModel* image : {&grey, &colour}) {
    CImageDataModel again;
    ASSERT_TRUE(zentrel::io::EncodeImage(*image, OutputFormat::PPM, bytes));
    EXPECT_EQ(bytes[1], '6');
    ASSERT_TRUE(zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), again));
    EXPECT_EQ(iot::MaxDifference(iot::FromRecord(*image), iot::FromRecord(again)), 0);
  }
  const zentrel::io::Status refused = zentrel::io::EncodeImage(colour, OutputFormat::PGM, bytes);
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.reason.find("not grey"), std::string::npos) << refused.reason;
}

TEST(IoWrite, HeaderMustFitBlockBeforeEncoding) {
  // A header whose depth a host rewrote (24 to 8 on a 2 x 2 image, 8 to 24
  // on a 100 x 5 one) is refused instead of read past the block.
  for (const int bits : {24, 8}) {
    CImageDataModel image;
    Fill(image, bits == 24 ? 2 : 100, bits == 24 ? 2 : 5, bits, 3);
    image.GetBmh()->biBitCount = static_cast<WORD>(bits == 24 ? 8 : 24);
    std::vector<std::uint8_t> bytes;
    for (const OutputFormat format : {OutputFormat::PNG, OutputFormat::PPM}) {
      const zentrel::io::Status refused = zentrel::io::EncodeImage(image, format, bytes);
      EXPECT_FALSE(refused) << bits;
      EXPECT_NE(refused.reason.find("depth"), std::string::npos) << refused.reason;
    }
    image.GetBmh()->biBitCount = static_cast<WORD>(bits);
    EXPECT_TRUE(zentrel::io::EncodeImage(image, OutputFormat::PPM, bytes)) << bits;
  }
}

// PPM bytes of a file as Pillow decodes it (alpha over white).
std::string PillowPpm(const std::string& path) {
  return iot::Output(std::string(ZENTREL_PYTHON) +
                     " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                     "im = im.convert('RGB'); "
                     "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\" " +
                     path);
}
std::string MagickPpm(const std::string& path) {
  return iot::Output("convert " + path + " -background white -flatten -depth 8 ppm:-");
}

TEST(IoRoundTrip, WrittenFilesOpenInPillowAndImageMagickWithTheSamePixels) {
  if (!iot::HaveProgram("convert") || !iot::Run(std::string(ZENTREL_PYTHON) + " -c 'import PIL'"))
    GTEST_SKIP() << "ImageMagick or Pillow missing";
  zt::TempDir dir;
  for (const Format& f : kFormats)
    for (int bits : {8, 24}) {
      CImageDataModel image;
      Fill(image, 67, 45, bits, 99);
      const std::string path = dir.File(std::string("w.") + f.name);
      ASSERT_TRUE(zentrel::io::WriteImage(image, path, f.format, f.compression));
      for (const std::string& ppm : {PillowPpm(path), MagickPpm(path)}) {
        const iot::Picture seen = iot::ParsePpm(std::vector<std::uint8_t>(ppm.begin(), ppm.end()));
        EXPECT_EQ(iot::MaxDifference(iot::FromRecord(image), seen), 0) << f.name << " " << bits;
      }
    }
}

TEST(IoWrite, IoSafeReplaceLeavesTheExistingFileAfterAFailedWrite) {
  zt::TempDir dir;
  const std::string target = dir.File("keep.png");
  ASSERT_TRUE(zt::WriteFileBytes(target, {'o', 'l', 'd'}));
  CImageDataModel colour, empty;
  Fill(colour, 9, 9, 24, 3);
  // Refusals: a colour image as PGM, an empty record, a folder as target.
  EXPECT_FALSE(zentrel::io::WriteImage(colour, target, OutputFormat::PGM));
  EXPECT_FALSE(zentrel::io::WriteImage(empty, target, OutputFormat::PNG));
  EXPECT_FALSE(zentrel::io::WriteImage(colour, dir.path(), OutputFormat::PNG));
  EXPECT_FALSE(zentrel::io::WriteImage(colour, dir.File("no/such/x.png"), OutputFormat::PNG));
  EXPECT_EQ(zt::ReadFileBytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files, (void)entry;
  EXPECT_EQ(files, 1);
}

TEST(IoWrite, IoSafeReplaceKeepsPermissionBitsAndFollowsSymbolicLinks) {
  zt::TempDir dir;
  const std::string target = dir.File("map.tif"), link = dir.File("link.tif");
  ASSERT_TRUE(zt::WriteFileBytes(target, {'x'}));
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  CImageDataModel image, back;
  Fill(image, 12, 5, 8, 4);
  ASSERT_TRUE(zentrel::io::WriteImage(image, link, OutputFormat::TIFF));
  struct stat info;
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  ASSERT_TRUE(zentrel::io::ReadImage(target, back));
  ExpectSameRecord(image, back, "through the link");
}

TEST(IoThreads, ReadsAndWritesOnSeveralThreadsAtOnceAgree) {
  zt::TempDir dir;
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        CImageDataModel image, back;
        Fill(image, 40 + t, 20 + i, t % 2 ? 24 : 8, t * 100 + i);
        const std::string path = dir.File("t" + std::to_string(t) + (t < 2 ? ".png" : ".tif"));
        const OutputFormat format = t < 2 ? OutputFormat::PNG : OutputFormat::TIFF;
        std::vector<std::uint8_t> ppm;
        if (!zentrel::io::WriteImage(image, path, format) || !zentrel::io::ReadImage(path, back) ||
            !zentrel::io::EncodeImage(back, OutputFormat::PPM, ppm) ||
            iot::MaxDifference(iot::FromRecord(image), iot::ParsePpm(ppm)) != 0)
          ++failures[t];
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
