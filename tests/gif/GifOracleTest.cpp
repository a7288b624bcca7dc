// The reader against an independent decoder (giflib): the first frame's
// indices, placed by this reader's rule, and its colour table, on real
// files and on files from two independent encoders.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "GifTestSupport.h"
#include "GiflibOracle.h"

namespace {

using gift::Bytes;
using gift::GifPieces;

using gift::DecodeWithGiflib;
using gift::GiflibFrame;

class GifOracle : public ::testing::Test {
 protected:
  // Decodes file with the library and with giflib and compares indices and
  // colours. Returns false (after a failure) when they differ.
  ::testing::AssertionResult SameAsGiflib(const Bytes& file) {
    const GiflibFrame want = DecodeWithGiflib(file);
    if (!want.ok) return ::testing::AssertionFailure() << "giflib cannot decode it";
    const std::string path = dir.File("oracle.gif");
    zt::WriteFileBytes(path, file);
    CImageDataModel image;
    zt::MessageCapture capture;
    if (image.ReadGIFImage(path.c_str()) != 1) return ::testing::AssertionFailure() << "refused";
    if (gift::ImageIndices(image) != want.indices)
      return ::testing::AssertionFailure() << "indices differ";
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD q = image.GetPalette()[i];
      if (q.rgbRed != want.colours[3 * i] || q.rgbGreen != want.colours[3 * i + 1] ||
          q.rgbBlue != want.colours[3 * i + 2] || q.rgbReserved != 0)
        return ::testing::AssertionFailure() << "colour " << i << " differs";
    }
    return ::testing::AssertionSuccess();
  }

  gift::ScratchFolder dir;
};

// giflib's encoder, writing to memory.
int WriteToMemory(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

Bytes EncodeWithGiflib(int width, int height, int bits, const Bytes& indices, bool interlaced) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToMemory, &error);
  if (!gif) return out;
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  for (int i = 0; i < (1 << bits); ++i)
    map->Colors[i] =
        GifColorType{static_cast<GifByteType>(i * 7), static_cast<GifByteType>(255 - i),
                     static_cast<GifByteType>(i * 13)};
  EGifPutScreenDesc(gif, width, height, bits, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
  const Bytes stored = interlaced ? gift::InterlaceRows(indices, width, height) : indices;
  for (int row = 0; row < height; ++row)
    EGifPutLine(gif,
                const_cast<GifPixelType*>(stored.data()) + static_cast<std::ptrdiff_t>(row) * width,
                width);
  GifFreeMapObject(map);
  EGifCloseFile(gif, &error);
  return out;
}

TEST_F(GifOracle, RealFilesWithoutTheirLeadingExtensionsMatchGiflib) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  int compared = 0;
  for (const char* folder : {"gif-test-suite/gifs", "libnsgif/data"}) {
    for (const auto& entry : std::filesystem::directory_iterator(zt::TestDataPath(folder))) {
      if (entry.path().extension() != ".gif") continue;
      const Bytes file = gift::WithoutLeadingExtensions(zt::ReadFileBytes(entry.path().string()));
      // The overflow test files are broken streams: only the reference
      // speaks for them.
      EXPECT_TRUE(gift::SameAsReference(dir, file)) << entry.path();
      if (entry.path().filename().string().rfind("lzwo", 0) == 0) continue;
      EXPECT_TRUE(SameAsGiflib(file)) << entry.path();
      ++compared;
    }
  }
  EXPECT_GE(compared, 14);
}

TEST_F(GifOracle, FramesFromTheTestEncoderMatchGiflib) {
  std::mt19937 random(77);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int i = 0; i < 150; ++i) {
    GifPieces p;
    p.imageWidth = pick(1, 90);
    p.imageHeight = pick(1, 90);
    p.screenWidth = pick(0, 2) ? p.imageWidth : pick(1, 100);
    p.screenHeight = pick(0, 2) ? p.imageHeight : pick(1, 100);
    p.globalBits = pick(1, 8);
    int bits = p.globalBits;
    if (pick(0, 4) == 0) {
      p.localTable = true;
      p.localBits = bits = pick(1, 8);
    }
    p.interlaced = pick(0, 2) == 0;
    p.minCodeSize = std::max(2, bits);
    Bytes frame(static_cast<std::size_t>(p.imageWidth * p.imageHeight));
    const int run = pick(1, 40);
    for (std::size_t k = 0; k < frame.size(); ++k)
      frame[k] = static_cast<std::uint8_t>((k / static_cast<std::size_t>(run) * 2654435761u >> 7) %
                                           (1u << bits));
    p.data = gift::EncodeData(
        p.interlaced ? gift::InterlaceRows(frame, p.imageWidth, p.imageHeight) : frame,
        p.minCodeSize);
    EXPECT_TRUE(SameAsGiflib(gift::Assemble(p))) << "case " << i;
  }
}

TEST_F(GifOracle, FramesFromGiflibsEncoderDecodeToTheirIndices) {
  std::mt19937 random(78);
  struct Case {
    int width, height, bits;
    bool interlaced, noisy;
  };
  const Case cases[] = {{1, 1, 1, false, false},   {13, 7, 2, true, true},
                        {64, 64, 4, false, true},  {300, 200, 8, false, true},
                        {300, 200, 8, true, true}, {1000, 700, 8, false, false},
                        {257, 3, 5, true, false}};
  for (const Case& c : cases) {
    Bytes frame(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
    for (std::size_t k = 0; k < frame.size(); ++k) {
      const std::size_t x = k % static_cast<std::size_t>(c.width);
      const std::size_t y = k / static_cast<std::size_t>(c.width);
      const unsigned value =
          c.noisy ? static_cast<unsigned>(random()) : (x / 50 + y / 40 + (x == y ? 5 : 0));
      frame[k] = static_cast<std::uint8_t>(value % (1u << c.bits));
    }
    const Bytes file = EncodeWithGiflib(c.width, c.height, c.bits, frame, c.interlaced);
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(SameAsGiflib(file)) << c.width << "x" << c.height;
    const std::string path = dir.File("giflib.gif");
    zt::WriteFileBytes(path, file);
    CImageDataModel image;
    ASSERT_EQ(image.ReadGIFImage(path.c_str()), 1);
    EXPECT_EQ(gift::ImageIndices(image), frame) << c.width << "x" << c.height;
  }
}

}  // namespace
