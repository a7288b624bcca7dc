// Region measuring: growth against the image edges, the width limit, the
// final margin, background seeds and refused seeds.
#include <gtest/gtest.h>

#include <array>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

constexpr COLORREF kInk = RGB(20, 40, 160);  // far from the default background
using Box = std::array<LONG, 4>;

/// A 24-bit image of the background colour with an ink rectangle.
void MakeSheet(CImageDataModel& image, int w, int h, Box ink) {
  zt::MakeImage(image, w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool inside = x >= ink[0] && y >= ink[1] && x <= ink[2] && y <= ink[3];
      image.SetPixel(x, y, inside ? kInk : image.GetBKColor());
    }
}

Box Measure(CImageDataModel& image, POINT seed, DWORD expectedColour) {
  CRect r(-7, -7, -7, -7);
  EXPECT_EQ(image.GetMinRegion(seed, r), expectedColour);
  return {r.left, r.top, r.right, r.bottom};
}

TEST(RegionMeasure, GrowsUntilTheSidesAreClearThenAddsTheMargin) {
  CImageDataModel image;
  MakeSheet(image, 200, 200, {50, 50, 50, 50});
  EXPECT_EQ(Measure(image, {50, 50}, kInk), (Box{46, 46, 54, 54}));
  // A matching pixel on a side keeps the growth going, connected or not.
  image.SetPixel(47, 53, RGB(30, 40, 150));
  EXPECT_EQ(Measure(image, {50, 50}, RGB(25, 40, 155)), (Box{43, 43, 57, 57}));
}

TEST(RegionMeasure, GrowthAndMarginAreClampedAtTheImageEdges) {
  CImageDataModel image;
  MakeSheet(image, 200, 150, {1, 1, 1, 1});
  EXPECT_EQ(Measure(image, {1, 1}, kInk), (Box{0, 0, 5, 5}));
  MakeSheet(image, 200, 150, {198, 148, 198, 148});
  EXPECT_EQ(Measure(image, {198, 148}, kInk), (Box{194, 144, 199, 149}));
  // A region filling the image gives the whole image, also one pixel wide.
  MakeSheet(image, 40, 30, {0, 0, 39, 29});
  EXPECT_EQ(Measure(image, {7, 20}, kInk), (Box{0, 0, 39, 29}));
  MakeSheet(image, 1, 50, {0, 0, 0, 49});
  EXPECT_EQ(Measure(image, {0, 25}, kInk), (Box{0, 0, 0, 49}));
}

TEST(RegionMeasure, BandStopsAtTheWidthLimit) {
  CImageDataModel image;
  MakeSheet(image, 300, 300, {0, 100, 299, 199});
  // 17 passes: 99..201, the left and right sides still touch the band.
  EXPECT_EQ(Measure(image, {150, 150}, kInk), (Box{98, 98, 202, 202}));
  // Against the left edge only the right side widens it: after 33 passes
  // right − left is exactly 100, and the height has grown on with them.
  EXPECT_EQ(Measure(image, {1, 150}, kInk), (Box{0, 50, 101, 250}));
}

TEST(RegionMeasure, BackgroundSeedKeepsTheSeedAndGivesTheWindowMean) {
  CImageDataModel image;
  MakeSheet(image, 100, 100, {33, 40, 33, 40});
  EXPECT_EQ(Measure(image, {30, 40}, kInk), (Box{30, 40, 30, 40}));
  EXPECT_EQ(Measure(image, {60, 60}, 0), (Box{60, 60, 60, 60}));
}

TEST(RegionMeasure, SeedOutsideOrEmptyRecordGivesZeroAndTheSeed) {
  CImageDataModel image;
  MakeSheet(image, 20, 10, {0, 0, 19, 9});
  for (POINT seed : {POINT{-1, 5}, POINT{5, -1}, POINT{20, 5}, POINT{5, 10}})
    EXPECT_EQ(Measure(image, seed, 0), (Box{seed.x, seed.y, seed.x, seed.y}));
  CImageDataModel empty;
  EXPECT_EQ(Measure(empty, {0, 0}, 0), (Box{0, 0, 0, 0}));
}

}  // namespace
