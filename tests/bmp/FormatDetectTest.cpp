// Format recognition by name and by the first bytes, and the entry points
// that do nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

TEST(FormatDetect, TestModeLooksAtTheLastFourCharactersInAnyCase) {
  CImageDataModel image;
  const std::pair<const char*, short> cases[] = {
      {"map.bmp", 1},   {"MAP.BMP", 1}, {"a.Gif", 3},        {"scan.tif", 2}, {"dir.gif/x.bMp", 1},
      {"scan.tiff", 0}, {"a.jpg", 0},   {"bmp", 0},          {".bmp", 1},     {"", 0},
      {"x.bmp ", 0},    {"x_bmp", 0},   {"/tmp/a.b.TiF", 2}, {"gif", 0},      {"x.gi", 0}};
  for (const auto& [name, code] : cases) EXPECT_EQ(image.TestMode(name), code) << name;
}

TEST(FormatDetect, SignatureWinsAndTheNameDecidesOtherwise) {
  zt::TempDir dir;
  CImageDataModel image;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("x.gif"), {'B', 'M', 0, 0}));
  EXPECT_EQ(image.TestImageFormat(dir.File("x.gif")), 1);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("y.bmp"), {'G', 'I', 'F', '8'}));
  EXPECT_EQ(image.TestImageFormat(dir.File("y.bmp")), 1);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("z.GIF"), {}));
  EXPECT_EQ(image.TestImageFormat(dir.File("z.GIF")), 3);
  // One byte of the signature is not the signature.
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("one.tif"), {'B'}));
  EXPECT_EQ(image.TestImageFormat(dir.File("one.tif")), 2);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("mb.txt"), {'M', 'B'}));
  EXPECT_EQ(image.TestImageFormat(dir.File("mb.txt")), 0);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("bm.txt"), {'B', 'M'}));
  EXPECT_EQ(image.TestImageFormat(dir.File("bm.txt")), 1);
}

TEST(FormatDetect, UnopenableFilesGiveZeroWhateverTheirName) {
  zt::TempDir dir;
  CImageDataModel image;
  EXPECT_EQ(image.TestImageFormat(dir.File("missing.bmp")), 0);
  EXPECT_EQ(image.TestImageFormat(dir.File("missing.gif")), 0);
  // A folder named like an image is not a file.
  ASSERT_EQ(::mkdir(dir.File("folder.bmp").c_str(), 0755), 0);
  EXPECT_EQ(image.TestImageFormat(dir.File("folder.bmp")), 0);
}

TEST(FormatDetect, EntryPointsThatDoNothingReturnOneAndTouchNothing) {
  zt::TempDir dir;
  CImageDataModel image;
  EXPECT_EQ(image.ReadTIFImage(dir.File("missing.tif")), 1);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetWidth(), 0u);

  zt::MakeImage(image, 4, 3, 8);
  const HGLOBAL block = image.GetHandle();
  EXPECT_EQ(image.SaveGIFImage(dir.File("a.gif")), 1);
  EXPECT_EQ(image.SaveTIFImage(dir.File("a.tif")), 1);
  EXPECT_EQ(image.ReadTIFImage(dir.File("a.tif")), 1);
  EXPECT_EQ(image.GetHandle(), block);
  EXPECT_EQ(image.GetWidth(), 4u);
  EXPECT_FALSE(std::ifstream(dir.File("a.gif")).good());
  EXPECT_FALSE(std::ifstream(dir.File("a.tif")).good());
}

}  // namespace
