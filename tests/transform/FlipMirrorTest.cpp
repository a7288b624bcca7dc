// Flip and Mirror: the pixel mappings at both depths, round trips, and the
// fields they must leave alone.
#include <gtest/gtest.h>

#include <random>

#include "ImageDataModel.h"
#include "TransformTestSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

TEST(FlipMirror, MatchPlainVersionsOnRandomAndWideSizesAtBothDepths) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> side(1, 70);
  std::vector<std::pair<int, int>> sizes;
  for (int n = 0; n < 40; ++n) sizes.push_back({side(random), side(random)});
  // Rows long enough to be reversed in chunks from both ends, with every
  // kind of middle left over.
  for (int width : {1023, 1024, 1025, 2047, 2048, 2049, 3000, 4099}) sizes.push_back({width, 2});
  for (auto [width, height] : sizes)
    for (int bits : {8, 24}) {
      CImageDataModel image;
      zt::MakeImage(image, width, height, bits);
      tt::FillRandom(image, random);  // padding too: Flip carries it, Mirror clears it
      const tt::Bytes original = tt::PixelArea(image);
      ASSERT_EQ(image.Flip(), 1);
      ASSERT_EQ(tt::PixelArea(image), tt::ReferenceFlip(original, width, height, bits))
          << "Flip " << width << "x" << height << " at " << bits;
      const tt::Bytes flipped = tt::PixelArea(image);
      ASSERT_EQ(image.Mirror(), 1);
      ASSERT_EQ(tt::PixelArea(image), tt::ReferenceMirror(flipped, width, height, bits))
          << "Mirror " << width << "x" << height << " at " << bits;
    }
}

TEST(FlipMirror, MoveAsDisplayedAndTwiceRestore) {
  CImageDataModel image;
  zt::MakeImage(image, 3, 2, 24);
  image.SetPixel(0, 0, RGB(1, 2, 3));
  image.SetPixel(2, 1, RGB(4, 5, 6));
  const tt::Bytes original = tt::PixelArea(image);
  ASSERT_EQ(image.Flip(), 1);
  EXPECT_EQ(image.GetPixel(0, 1), RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(2, 0), RGB(4, 5, 6));
  ASSERT_EQ(image.Mirror(), 1);
  EXPECT_EQ(image.GetPixel(2, 1), RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(0, 0), RGB(4, 5, 6));
  ASSERT_EQ(image.Flip(), 1);
  ASSERT_EQ(image.Mirror(), 1);
  EXPECT_EQ(tt::PixelArea(image), original);
}

TEST(FlipMirror, KeepTableHeaderRangeAndBlockAndNeedNoMemory) {
  CImageDataModel image;
  zt::MakeImage(image, 6, 4, 8);
  zt::SetGreyTable(image);
  tt::FillLabels(image);
  image.SetRange(1, 1, 2, 2);
  const tt::Snapshot before = tt::Take(image);
  zt::FailNthAllocation fail(1);
  ASSERT_EQ(image.Flip(), 1);
  ASSERT_EQ(image.Mirror(), 1);
  EXPECT_FALSE(fail.Triggered());
  EXPECT_EQ(image.GetRange(), CRect(1, 1, 2, 2));
  EXPECT_EQ(image.GetHandle(), before.handle);
  EXPECT_EQ(image.GetBuffer(), before.bits);
  const std::size_t prefix = tt::PrefixBytes(image);  // header and colour table
  EXPECT_TRUE(std::equal(before.block.begin(), before.block.begin() + prefix,
                         reinterpret_cast<const BYTE*>(image.GetBmh())));
  EXPECT_EQ(zt::IndexAt(image, 0, 0), 6);  // stored row 0, column 5 before
}

}  // namespace
