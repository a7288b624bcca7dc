// Rotation: the labelled 5 × 5 and 4 × 4 tables at both depths, the
// untouched record fields, out of memory, and bit equality with a plain
// per-pixel version on random images and angles.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "ImageDataModel.h"
#include "TransformTestSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

using Labels = std::vector<int>;

const Labels kFiveByFive = {41, 42, 43, 44, 45, 31, 32, 33, 34, 35, 21, 22, 23,
                            24, 25, 11, 12, 13, 14, 15, 1,  2,  3,  4,  5};

struct TableCase {
  int side;
  int angle;
  Labels expected;
};

const TableCase kTables[] = {
    {5, 0, kFiveByFive},
    {5, 90, {1,  11, 21, 31, 41, 1,  11, 22, 32, 42, 2,  12, 23,
             23, 33, 3,  3,  13, 24, 34, 4,  4,  14, 25, 35}},
    {5, -90, {44, 34, 24, 15, 5,  43, 33, 23, 14, 4,  32, 22, 23,
              13, 3,  31, 21, 12, 2,  2,  31, 21, 11, 1,  1}},
    {5, 180, {4,  3,  2,  1,  1,  4,  3,  12, 11, 11, 14, 13, 23,
              22, 21, 25, 24, 23, 32, 31, 35, 34, 33, 42, 41}},
    {5, 360, {41, 42, 33, 34, 35, 31, 32, 23, 24, 25, 21, 22, 23,
              13, 14, 11, 11, 12, 3,  4,  1,  1,  2,  3,  4}},
    // The bottom-right pixel has no source and becomes 0.
    {4, 90, {1, 11, 22, 32, 2, 12, 23, 23, 3, 3, 13, 24, 4, 4, 14, 0}},
};

TEST(Rotate, LabelledTablesComeOutDigitForDigitAtBothDepths) {
  for (int bits : {8, 24})
    for (const TableCase& t : kTables) {
      CImageDataModel image;
      zt::MakeImage(image, t.side, t.side, bits);
      tt::FillLabels(image);
      ASSERT_EQ(image.Rotate(t.angle), 1);
      EXPECT_EQ(tt::DisplayedLabels(image), t.expected)
          << t.side << "x" << t.side << " at " << bits << " bits, angle " << t.angle;
    }
}

TEST(Rotate, FortyFiveDegreesGivesBlackCornersAndKeepsEverythingButPixels) {
  CImageDataModel image;
  zt::MakeImage(image, 41, 30, 24);
  for (UINT y = 0; y < 30; ++y)
    for (UINT x = 0; x < 41; ++x) image.SetPixel(x, y, RGB(200, 100, 50));
  image.SetRange(3, 4, 5, 6);
  const BITMAPINFOHEADER header = *image.GetBmh();
  const HGLOBAL handle = image.GetHandle();

  ASSERT_EQ(image.Rotate(45), 1);
  for (POINT corner : {POINT{0, 0}, POINT{40, 0}, POINT{0, 29}, POINT{40, 29}})
    EXPECT_EQ(image.GetPixel(corner), 0u) << corner.x << "," << corner.y;
  EXPECT_EQ(image.GetPixel(20, 15), RGB(200, 100, 50));
  EXPECT_EQ(image.GetWidth(), 41u);
  EXPECT_EQ(image.GetHeight(), 30u);
  EXPECT_EQ(image.GetLineBytes(), 124u);
  EXPECT_EQ(image.GetRange(), CRect(3, 4, 5, 6));
  EXPECT_EQ(image.GetHandle(), handle);
  EXPECT_EQ(std::memcmp(image.GetBmh(), &header, sizeof header), 0);
  // Padding bytes of every row end up zero.
  for (UINT i = 0; i < 30; ++i) EXPECT_EQ(image.GetBuffer()[i * 124 + 123], 0) << i;
}

TEST(Rotate, FailedScratchLeavesEverythingAsItWas) {
  CImageDataModel image;
  zt::MakeImage(image, 9, 7, 8);
  tt::FillLabels(image);
  const tt::Snapshot before = tt::Take(image);
  {
    zt::FailNthAllocation fail(1);
    EXPECT_EQ(image.Rotate(30), 0);
    EXPECT_TRUE(fail.Triggered());
  }
  tt::ExpectUnchanged(image, before);
  // The scratch image is the only allocation.
  zt::FailNthAllocation fail(2);
  EXPECT_EQ(image.Rotate(30), 1);
  EXPECT_FALSE(fail.Triggered());
}

TEST(Rotate, MatchesPlainPerPixelVersionOnRandomImagesAndAngles) {
  std::mt19937 random(4);
  std::vector<int> angles = {0,   1,   -1,    45,        90,         -90,     180,    270,
                             360, 719, -1000, 123456789, -987654321, INT_MAX, INT_MIN};
  std::uniform_int_distribution<int> anyAngle(-100000, 100000);
  std::uniform_int_distribution<int> side(1, 150);
  for (int n = 0; n < 60; ++n) angles.push_back(anyAngle(random));
  for (std::size_t n = 0; n < angles.size(); ++n) {
    const int width = side(random), height = side(random);
    const int bits = n % 2 ? 24 : 8;
    CImageDataModel image;
    zt::MakeImage(image, width, height, bits);
    tt::FillRandom(image, random);
    const tt::Bytes expected =
        tt::ReferenceRotate(tt::PixelArea(image), width, height, bits, angles[n]);
    ASSERT_EQ(image.Rotate(angles[n]), 1);
    ASSERT_EQ(tt::PixelArea(image), expected)
        << width << "x" << height << " at " << bits << " bits, angle " << angles[n];
  }
}

TEST(Rotate, MatchesPlainVersionAcrossTilesAndUnpaddedRows) {
  // Widths around the 64-pixel tiles, odd and even runs of pixels, and
  // 24-bit rows without padding (width a multiple of 4), whose last pixel
  // ends where the rows end.
  std::mt19937 random(18);
  const int widths[] = {4, 63, 64, 65, 128, 131};
  const int angles[] = {30, -135, 7, 181, -89};
  for (int bits : {8, 24}) {
    for (int width : widths) {
      for (int angle : angles) {
        const int height = width % 3 == 0 ? width : width / 2 + 3;
        CImageDataModel image;
        zt::MakeImage(image, width, height, bits);
        tt::FillRandom(image, random);
        const tt::Bytes expected =
            tt::ReferenceRotate(tt::PixelArea(image), width, height, bits, angle);
        ASSERT_EQ(image.Rotate(angle), 1);
        ASSERT_EQ(tt::PixelArea(image), expected)
            << width << "x" << height << " at " << bits << " bits, angle " << angle;
      }
    }
  }
}

}  // namespace

namespace {

using Sizes = std::vector<std::pair<int, int>>;

/// Turns a random image of each size, at both depths, by each angle, each
/// time from the same original, and compares with the plain per-pixel
/// version.
void ExpectTurnsMatchPlainVersion(const Sizes& sizes, const std::vector<int>& angles,
                                  unsigned seed) {
  std::mt19937 random(seed);
  for (int bits : {8, 24}) {
    for (const auto& [width, height] : sizes) {
      CImageDataModel image;
      zt::MakeImage(image, width, height, bits);
      tt::FillRandom(image, random);
      const tt::Bytes original = tt::PixelArea(image);
      for (int angle : angles) {
        std::memcpy(image.GetBuffer(), original.data(), original.size());
        ASSERT_EQ(image.Rotate(angle), 1);
        ASSERT_EQ(tt::PixelArea(image), tt::ReferenceRotate(original, width, height, bits, angle))
            << width << "x" << height << " at " << bits << " bits, angle " << angle;
      }
    }
  }
}

TEST(Rotate, EightPixelStepsMatchPlainVersionAtEveryFifthDegree) {
  // Runs long enough for the eight-pixel steps with their scalar tails, at
  // both depths, on rows with and without padding (a width of 256 has none
  // at 24 bits, so the last pixel's four-byte read reaches the spare row).
  std::vector<int> angles;
  for (int angle = -360; angle <= 360; angle += 5) angles.push_back(angle);
  ExpectTurnsMatchPlainVersion({{256, 97}, {203, 150}, {97, 256}}, angles, 77);
}

TEST(Rotate, TilesTurnedOverTheImageMatchPlainVersion) {
  // Images of many tiles, square-ish and oblong, at angles where the turn
  // reads tiles it has already written over (any angle but the smallest),
  // near the half and full turns, and past a whole turn.
  ExpectTurnsMatchPlainVersion({{900, 700}, {1300, 260}},
                               {0, 1, -2, 30, -30, 45, 90, -91, 135, 179, 180, -181, 300, 3611},
                               2026);
}

}  // namespace
