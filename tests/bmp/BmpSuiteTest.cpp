// The public BMP test suite: which files load, their pixels against the
// reference renderings, and exact round trips of every file that loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "BmpTestFiles.h"
#include "PngRendering.h"
#include "support/TestSupport.h"

namespace {

/// Every 8-bit and 24-bit uncompressed bottom-up file with an info header
/// of 40 bytes or more, mapped to its reference rendering ("" for none).
const std::map<std::string, std::string>& Readable() {
  static const std::map<std::string, std::string> files = {
      {"g/pal8.bmp", "pal8.png"},
      {"g/pal8-0.bmp", "pal8.png"},
      {"g/pal8gs.bmp", "pal8gs.png"},
      {"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
      {"g/pal8v4.bmp", "pal8.png"},
      {"g/pal8v5.bmp", "pal8.png"},
      {"g/pal8w124.bmp", "pal8w124.png"},
      {"g/pal8w125.bmp", "pal8w125.png"},
      {"g/pal8w126.bmp", "pal8w126.png"},
      {"g/rgb24.bmp", "rgb24.png"},
      {"g/rgb24pal.bmp", "rgb24.png"},
      {"q/pal8offs.bmp", "pal8.png"},
      {"q/pal8os2v2.bmp", "pal8.png"},
      {"q/pal8os2v2-sz.bmp", "pal8.png"},
      {"q/pal8os2v2-40sz.bmp", "pal8.png"},
      {"q/pal8oversizepal.bmp", "pal8.png"},
      {"q/rgb24largepal.bmp", "rgb24.png"},
      {"q/rgb24prof.bmp", "rgb24.png"},
      // Stores red and green exchanged, for a colour profile (which the
      // library does not apply) to exchange back.
      {"q/rgb24prof2.bmp", "rgb24.png"},
      {"q/rgb24lprof.bmp", "rgb24.png"},
      // Damaged but within the reader's rules: they load, without a
      // rendering to match.
      {"b/badpalettesize.bmp", ""},
      {"b/pal8badindex.bmp", ""},
  };
  return files;
}

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> names;
  for (const char* folder : {"g", "q", "b", "x"})
    for (const auto& entry :
         std::filesystem::directory_iterator(zt::TestDataPath(std::string("bmpsuite/") + folder)))
      names.push_back(std::string(folder) + "/" + entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(BmpSuite, ExactlyTheUncompressedBottomUpEightAndTwentyFourBitFilesLoad) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  const std::vector<std::string> names = SuiteFiles();
  ASSERT_EQ(names.size(), 91u);
  std::set<std::string> loaded;
  for (const std::string& name : names) {
    CImageDataModel image;
    const int result = image.ReadBMPImage(zt::TestDataPath("bmpsuite/" + name));
    if (result == 1) {
      loaded.insert(name);
      EXPECT_EQ(image.IsEmpty(), 0) << name;
    } else {
      EXPECT_EQ(result, 0) << name;
      EXPECT_EQ(image.IsEmpty(), 1) << name;
    }
  }
  std::set<std::string> expected;
  for (const auto& entry : Readable()) expected.insert(entry.first);
  EXPECT_EQ(loaded, expected);
}

TEST(BmpSuite, LoadedFilesSaveAndReadBackByteForByte) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  zt::TempDir dir;
  for (const auto& entry : Readable()) {
    const std::string& name = entry.first;
    CImageDataModel image;
    ASSERT_EQ(image.ReadBMPImage(zt::TestDataPath("bmpsuite/" + name)), 1) << name;
    ASSERT_EQ(image.SaveBMPImage(dir.File("first.bmp")), 1) << name;
    CImageDataModel copy;
    ASSERT_EQ(copy.ReadBMPImage(dir.File("first.bmp")), 1) << name;
    EXPECT_EQ(copy.GetColorPixel(), image.GetColorPixel()) << name;
    EXPECT_TRUE(bmptest::ContentOf(copy) == bmptest::ContentOf(image)) << name;
    ASSERT_EQ(copy.SaveBMPImage(dir.File("second.bmp")), 1) << name;
    EXPECT_EQ(zt::ReadFileBytes(dir.File("second.bmp")), zt::ReadFileBytes(dir.File("first.bmp")))
        << name;
  }
}

#ifdef ZENTREL_TEST_HAVE_PNG

using zt::ReadPng;
using zt::Rendering;

TEST(BmpSuite, LoadedFilesShowTheReferenceRenderings) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  for (const auto& [name, reference] : Readable()) {
    if (reference.empty()) continue;
    const Rendering want = ReadPng(zt::TestDataPath("bmpsuite/html/" + reference));
    ASSERT_FALSE(want.rgb.empty()) << reference;
    CImageDataModel image;
    ASSERT_EQ(image.ReadBMPImage(zt::TestDataPath("bmpsuite/" + name)), 1) << name;
    ASSERT_EQ(image.GetWidth(), want.width) << name;
    ASSERT_EQ(image.GetHeight(), want.height) << name;
    const bool swapRedGreen = name == "q/rgb24prof2.bmp";
    int wrong = 0;
    for (UINT y = 0; y < want.height; ++y)
      for (UINT x = 0; x < want.width; ++x) {
        const std::uint8_t* p = &want.rgb[3 * (std::size_t{y} * want.width + x)];
        const COLORREF expected = swapRedGreen ? RGB(p[1], p[0], p[2]) : RGB(p[0], p[1], p[2]);
        if (image.GetPixel(x, y) != expected) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << name << " against " << reference;
  }
}

#endif

}  // namespace
