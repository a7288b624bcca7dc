// The ink mask follows the library's background test, and the speckle
// filter removes specks and dots without eating into shapes.
#include <gtest/gtest.h>

#include "InkMask.h"
#include "TestSheet.h"

namespace {

TEST(InkMask, AgreesWithTheRecordsBackgroundTest) {
  for (int bits : {8, 24})
    for (int precision : {15, 27, 40}) {
      cli::TestSheetPlan plan;
      plan.width = 150;
      plan.height = 110;
      plan.bits = bits;
      plan.paper = RGB(244, 236, 212);
      plan.shapes = 8;
      plan.seed = 9;
      CImageDataModel sheet;
      cli::MakeTestSheet(plan, sheet);
      // Pixels near the paper colour, on both sides of the tolerance.
      for (UINT x = 0; x < 100; ++x)
        sheet.SetPixel(x + 20, 50, RGB(244 - x / 2, 236 - x / 3, 212 - x / 4));
      sheet.SetPrecision(precision);
      CImageDataModel mask;
      ASSERT_TRUE(cli::BuildInkMask(sheet, mask));
      ASSERT_EQ(mask.GetColorPixel(), 8);
      const cli::MaskView view = cli::ViewOf(mask);
      for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) {
          const bool ring = x == 0 || y == 0 || x + 1 == view.width || y + 1 == view.height;
          const int expected = ring                       ? cli::kPaper
                               : sheet.IsBackground(x, y) ? cli::kPaper
                                                          : cli::kInk;
          ASSERT_EQ(*view.At(x, y), expected)
              << bits << " bits, precision " << precision << " at " << x << "," << y;
        }
    }
}

TEST(InkMask, RefusesWhatItCannotRead) {
  CImageDataModel empty, mask;
  EXPECT_FALSE(cli::BuildInkMask(empty, mask));
  EXPECT_TRUE(mask.IsEmpty());
}

TEST(InkMask, MajorityFilterRemovesSpecksAndKeepsShapes) {
  CImageDataModel mask;
  ASSERT_TRUE(mask.InitImage(40, 30, 8));
  const cli::MaskView view = cli::ViewOf(mask);
  auto fill = [&](int left, int top, int right, int bottom) {
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) *view.At(x, y) = cli::kInk;
  };
  fill(5, 5, 5, 5);     // a speck
  fill(10, 5, 11, 6);   // a two-by-two dot
  fill(5, 12, 24, 24);  // a block with a pinhole
  *view.At(15, 18) = cli::kPaper;
  fill(25, 18, 25, 18);  // a speck touching the block's side
  cli::MajorityFilter(view);
  EXPECT_EQ(*view.At(5, 5), cli::kPaper);
  EXPECT_EQ(*view.At(10, 5), cli::kPaper);
  EXPECT_EQ(*view.At(11, 6), cli::kPaper);
  EXPECT_EQ(*view.At(15, 18), cli::kInk);
  EXPECT_EQ(*view.At(25, 18), cli::kPaper);
  int ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ink += *view.At(x, y) == cli::kInk;
  EXPECT_EQ(ink, 20 * 13 - 4);  // the block less its four corner cells
}

}  // namespace
