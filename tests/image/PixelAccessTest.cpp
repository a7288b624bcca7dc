// Pixel access: colour values at both depths, recolouring through the
// colour table, the averaging read, distances and the background test.
#include <gtest/gtest.h>

#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

TEST(PixelAccess, TrueColourPixelsAreStoredBlueFirstBottomUp) {
  CImageDataModel image;
  zt::MakeImage(image, 4, 3, 24);
  image.SetPixel(2, 0, 0xAB123456);
  // y = 0 is the last stored row; pixel 2 starts at byte 6.
  const BYTE* top = image.GetBuffer() + 2 * image.GetLineBytes();
  EXPECT_EQ(top[6], 0x12);
  EXPECT_EQ(top[7], 0x34);
  EXPECT_EQ(top[8], 0x56);
  EXPECT_EQ(image.GetPixel(2, 0), 0x00123456u);
  EXPECT_EQ(image.GetPixel(POINT{2, 0}), 0x00123456u);
  EXPECT_EQ(image.GetPixel(2, 1), 0u);

  image.SetPixel(POINT{3, 2}, RGB(1, 2, 3));
  EXPECT_EQ(image.GetBuffer()[9], 3);  // bottom row, blue byte of pixel 3
  EXPECT_EQ(image.GetPixel(3, 2), RGB(1, 2, 3));
}

TEST(PixelAccess, EightBitSetPixelRecoloursTheSharedTableEntry) {
  CImageDataModel image;
  zt::MakeImage(image, 8, 8, 8);
  zt::SetIndexAt(image, 0, 0, 7);
  zt::SetIndexAt(image, 5, 5, 7);
  image.SetPixel(0, 0, RGB(10, 20, 30));
  EXPECT_EQ(zt::IndexAt(image, 0, 0), 7);
  EXPECT_EQ(zt::IndexAt(image, 5, 5), 7);
  const RGBQUAD& entry = image.GetPalette()[7];
  EXPECT_EQ(entry.rgbRed, 10);
  EXPECT_EQ(entry.rgbGreen, 20);
  EXPECT_EQ(entry.rgbBlue, 30);
  EXPECT_EQ(image.GetPixel(5, 5), RGB(10, 20, 30));
  // Index 0 is untouched, so its pixels stay black.
  EXPECT_EQ(image.GetPixel(1, 1), 0u);
}

TEST(PixelAccess, OutsideTheImageReadsZeroAndWritesNothing) {
  CImageDataModel image;
  zt::MakeImage(image, 5, 4, 24);
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 5; ++x) image.SetPixel(x, y, RGB(9, 9, 9));
  EXPECT_EQ(image.GetPixel(5, 0), 0u);
  EXPECT_EQ(image.GetPixel(0, 4), 0u);
  EXPECT_EQ(image.GetPixel(POINT{-1, 0}), 0u);
  EXPECT_EQ(image.ColorDistance(5, 0, RGB(100, 0, 0)), 0);
  image.SetPixel(5, 0, RGB(1, 1, 1));
  image.SetPixel(POINT{0, -1}, RGB(1, 1, 1));
  // The padding bytes of each row and the spare row stay zero.
  const BYTE* bits = image.GetBuffer();
  for (UINT row = 0; row < 5; ++row)
    for (UINT i = (row < 4 ? 15 : 0); i < image.GetLineBytes(); ++i)
      EXPECT_EQ(bits[row * image.GetLineBytes() + i], 0) << row << "," << i;

  CImageDataModel empty;
  EXPECT_EQ(empty.GetPixel(0, 0), 0u);
  EXPECT_EQ(empty.GetPixel(0, 0, 1, 1), 0u);
  empty.SetPixel(0, 0, 0xFFFFFF);
  const COLORREF grid[1] = {0xFFFFFF};
  EXPECT_EQ(empty.SetPixelFromGrid(1, 1, grid), 1);
  EXPECT_EQ(empty.ColorDistance(0, 0, 0xFFFFFF), 0);
}

TEST(PixelAccess, AveragingSkipsBackgroundAndTruncates) {
  CImageDataModel image;
  zt::MakeImage(image, 3, 3, 24);
  const COLORREF background = image.GetBKColor();
  for (UINT y = 0; y < 3; ++y)
    for (UINT x = 0; x < 3; ++x) image.SetPixel(x, y, background);
  image.SetPixel(0, 0, 0x000000FF);
  image.SetPixel(1, 0, 0x000000FE);
  image.SetPixel(2, 2, 0x00FF0000);  // outside the window below

  EXPECT_EQ(image.GetPixel(0, 0, 1, 1), 0x000000FEu);  // (255 + 254) / 2
  EXPECT_EQ(image.GetPixel(POINT{0, 0}, 1, 1), 0x000000FEu);
  EXPECT_EQ(image.GetPixel(0, 0, 0, 0), 0x000000FFu);
  EXPECT_EQ(image.GetPixel(1, 1, 0, 0), 0u);   // a background pixel alone
  EXPECT_EQ(image.GetPixel(1, 1, -1, 0), 0u);  // an empty window
  EXPECT_EQ(image.GetPixel(1, 1, 0, -1), 0u);
  // The whole image: three colours, each channel summed and divided by 3.
  EXPECT_EQ(image.GetPixel(1, 1, 5, 5), RGB((255 + 254) / 3, 0, 255 / 3));
  // A point just left of the image still averages its clipped window.
  EXPECT_EQ(image.GetPixel(POINT{-1, 0}, 1, 0), 0x000000FFu);
}

// average-sums-64bit: the window and its channel sums are formed in 64 bits;
// extreme arguments clip to the image, and a window of more than 16 million
// pixels of 255 would wrap 32-bit sums (to 11 here).
TEST(PixelAccess, AverageSums64bitForExtremeArgumentsAndHugeWindows) {
  CImageDataModel image;
  zt::MakeImage(image, 3, 3, 24);
  for (UINT y = 0; y < 3; ++y)
    for (UINT x = 0; x < 3; ++x) image.SetPixel(x, y, image.GetBKColor());
  image.SetPixel(0, 0, 0x000000FF);
  image.SetPixel(1, 0, 0x000000FE);
  image.SetPixel(2, 2, 0x00FF0000);
  const COLORREF whole = RGB((255 + 254) / 3, 0, 255 / 3);
  EXPECT_EQ(image.GetPixel(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), whole);
  EXPECT_EQ(image.GetPixel(0, 0, -2147483647 - 1, 3), 0u);

  CImageDataModel large;  // 4200 × 4200 = 17,640,000 pixels, all index 0
  zt::MakeImage(large, 4200, 4200, 8);
  large.GetPalette()[0] = RGBQUAD{255, 0, 255, 0};
  EXPECT_EQ(large.GetPixel(2100, 2100, 2100, 2100), RGB(255, 0, 255));
}

TEST(PixelAccess, ColourDistanceSumsChannelDifferences) {
  CImageDataModel image;
  zt::MakeImage(image, 2, 2, 8);
  image.SetPixel(0, 0, 0x00102030);
  EXPECT_EQ(image.ColorDistance(0, 0, 0x00000000), 0x10 + 0x20 + 0x30);
  EXPECT_EQ(image.ColorDistance(0, 0, 0xFF102030), 0);  // top byte ignored
  image.SetPixel(0, 0, 0x00FFFFFF);
  EXPECT_EQ(image.ColorDistance(0, 0, 0), 765);
}

TEST(PixelAccess, BackgroundTestBoundaries) {
  CImageDataModel image;
  zt::MakeImage(image, 4, 1, 24);
  image.SetPixel(0, 0, 0x00D8D8D8);  // each channel 19 below 235
  image.SetPixel(1, 0, 0x00D7EBEB);  // blue 20 below
  image.SetPixel(2, 0, 0x00DDDDDD);  // each channel 14 below
  image.SetPixel(3, 0, 0x00EBEBEB);
  EXPECT_EQ(image.IsBackground(0, 0), 1);
  EXPECT_EQ(image.IsBackground(POINT{1, 0}), 0);
  EXPECT_EQ(image.IsBackground(3, 0), 1);
  image.SetPrecision(15);
  EXPECT_EQ(image.IsBackground(2, 0), 1);
  EXPECT_EQ(image.IsBackground(0, 0), 0);

  // The sum limit matters when the background sits near black: at
  // precision 40 the limit is 148, so three differences of 39, 39 and 39
  // (117) pass while both conditions are still checked.
  image.SetPrecision(40);
  image.SetBKColor(0, 0, 0);
  image.SetPixel(0, 0, RGB(39, 39, 39));
  image.SetPixel(1, 0, RGB(40, 0, 0));
  EXPECT_EQ(image.IsBackground(0, 0), 1);
  EXPECT_EQ(image.IsBackground(1, 0), 0);
  // Outside the image the test sees colour 0, which is this background.
  EXPECT_EQ(image.IsBackground(4, 0), 1);
  image.SetBKColor(235, 235, 235);
  EXPECT_EQ(image.IsBackground(4, 0), 0);
  CImageDataModel empty;
  EXPECT_EQ(empty.IsBackground(0, 0), 0);
}

TEST(PixelAccess, GridWritesRowsFromTheTopLeft) {
  CImageDataModel image;
  zt::MakeImage(image, 10, 10, 24);
  const COLORREF grid[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(image.SetPixelFromGrid(2, 3, grid), 1);
  EXPECT_EQ(image.GetPixel(0, 0), 1u);
  EXPECT_EQ(image.GetPixel(1, 0), 2u);
  EXPECT_EQ(image.GetPixel(2, 0), 3u);
  EXPECT_EQ(image.GetPixel(0, 1), 4u);
  EXPECT_EQ(image.GetPixel(2, 1), 6u);
  EXPECT_EQ(image.GetPixel(3, 0), 0u);
  EXPECT_EQ(image.GetPixel(0, 2), 0u);

  CImageDataModel untouched;
  zt::MakeImage(untouched, 2, 2, 24);
  EXPECT_EQ(untouched.SetPixelFromGrid(0, 3, grid), 1);
  EXPECT_EQ(untouched.SetPixelFromGrid(3, 0, grid), 1);
  EXPECT_EQ(untouched.GetPixel(0, 0), 0u);

  // A grid wider than the image keeps its own row length: row 1 of the
  // image takes entries 3 and 4, not 2 and 3.
  CImageDataModel narrow;
  zt::MakeImage(narrow, 2, 5, 24);
  EXPECT_EQ(narrow.SetPixelFromGrid(2, 3, grid), 1);
  EXPECT_EQ(narrow.GetPixel(0, 1), 4u);
  EXPECT_EQ(narrow.GetPixel(1, 1), 5u);
}

}  // namespace
