// Flip and Mirror: the pixel mappings at both depths, round trips, padding,
// the fields they must leave alone, and that they need no memory.
#include <gtest/gtest.h>

#include <random>

#include "ImageDataModel.h"
#include "TransformTestSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

TEST(FlipMirror, MatchPlainVersionsOnRandomSizesAtBothDepths) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> side(1, 70);
  for (int n = 0; n < 80; ++n) {
    const int width = side(random), height = side(random);
    const int bits = n % 2 ? 24 : 8;
    CImageDataModel image;
    zt::MakeImage(image, width, height, bits);
    tt::FillRandom(image, random);  // padding too: Flip carries it along
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

TEST(FlipMirror, MirrorMatchesPlainVersionOnWideRows) {
  // Rows long enough to be reversed in chunks from both ends, with every
  // kind of middle left over.
  std::mt19937 random(8);
  for (int width : {1023, 1024, 1025, 2047, 2048, 2049, 3000, 4099})
    for (int bits : {8, 24}) {
      CImageDataModel image;
      zt::MakeImage(image, width, 2, bits);
      tt::FillRandom(image, random);
      const tt::Bytes expected = tt::ReferenceMirror(tt::PixelArea(image), width, 2, bits);
      ASSERT_EQ(image.Mirror(), 1);
      ASSERT_EQ(tt::PixelArea(image), expected) << width << " at " << bits;
    }
}

TEST(FlipMirror, TwiceRestoresThePixels) {
  for (int bits : {8, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 37, 11, bits);
    tt::FillLabels(image);
    const tt::Bytes original = tt::PixelArea(image);
    ASSERT_EQ(image.Flip(), 1);
    EXPECT_NE(tt::PixelArea(image), original);
    ASSERT_EQ(image.Flip(), 1);
    EXPECT_EQ(tt::PixelArea(image), original);
    ASSERT_EQ(image.Mirror(), 1);
    EXPECT_NE(tt::PixelArea(image), original);
    ASSERT_EQ(image.Mirror(), 1);
    EXPECT_EQ(tt::PixelArea(image), original);
  }
}

TEST(FlipMirror, MovePixelsAsDisplayed) {
  CImageDataModel image;
  zt::MakeImage(image, 3, 2, 24);
  image.SetPixel(0, 0, RGB(1, 2, 3));
  image.SetPixel(2, 1, RGB(4, 5, 6));
  ASSERT_EQ(image.Flip(), 1);
  EXPECT_EQ(image.GetPixel(0, 1), RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(2, 0), RGB(4, 5, 6));
  ASSERT_EQ(image.Mirror(), 1);
  EXPECT_EQ(image.GetPixel(2, 1), RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(0, 0), RGB(4, 5, 6));
}

TEST(FlipMirror, MirrorLeavesZeroRowPadding) {
  CImageDataModel image;
  zt::MakeImage(image, 5, 3, 8);  // 3 padding bytes per row
  std::mt19937 random(3);
  tt::FillRandom(image, random);
  ASSERT_EQ(image.Mirror(), 1);
  for (UINT i = 0; i < 3; ++i)
    for (UINT k = 5; k < 8; ++k) EXPECT_EQ(image.GetBuffer()[i * 8 + k], 0) << i << "," << k;
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
  // Header and colour table: everything in front of the pixel rows.
  const std::size_t prefix = 40 + 1024;
  EXPECT_TRUE(std::equal(before.block.begin(), before.block.begin() + prefix,
                         reinterpret_cast<const BYTE*>(image.GetBmh())));
  EXPECT_EQ(zt::IndexAt(image, 0, 0), 6);  // old (5, 3): stored row 0, column 5
}

TEST(FlipMirror, OneByOneAndEmpty) {
  CImageDataModel image;
  EXPECT_EQ(image.Flip(), 0);
  EXPECT_EQ(image.Mirror(), 0);
  zt::MakeImage(image, 1, 1, 8);
  zt::SetIndexAt(image, 0, 0, 77);
  ASSERT_EQ(image.Flip(), 1);
  ASSERT_EQ(image.Mirror(), 1);
  EXPECT_EQ(zt::IndexAt(image, 0, 0), 77);
}

}  // namespace
