// Quarter turns: mappings, sizes, header, range, round trips, the block
// that grows when the turned rows need more room, and out of memory; and the
// 1 × 1 and refusal cases all five transforms share.
#include <gtest/gtest.h>

#include <random>

#include "ImageDataModel.h"
#include "TransformTestSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

struct TurnCase {
  const char* name;
  int (CImageDataModel::*turn)();
  bool left;

  tt::Bytes Reference(const CImageDataModel& image) const {
    return tt::ReferenceTurn(tt::PixelArea(image), image.GetWidth(), image.GetHeight(),
                             image.GetColorPixel(), left);
  }
};
const TurnCase kTurns[] = {{"Left90", &CImageDataModel::Left90, true},
                           {"Right90", &CImageDataModel::Right90, false}};

// turn-clears-tail: the rows are filled at random, padding included; after
// the turn the padding (in the reference rows) and every byte after the
// rows, to the end of the block, are zero.
TEST(QuarterTurn, MatchesPlainVersionsAndTurnClearsTailOnRandomSizesAtBothDepths) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> side(1, 150);  // several 64-pixel tiles
  for (int n = 0; n < 60; ++n)
    for (const TurnCase& t : kTurns) {
      const int width = side(random), height = side(random);
      const int bits = n % 2 ? 24 : 8;
      CImageDataModel image;
      zt::MakeImage(image, width, height, bits);
      tt::FillRandom(image, random);
      const tt::Bytes expected = t.Reference(image);
      const HGLOBAL handle = image.GetHandle();
      const std::size_t oldBlock = tt::FreshBlockBytes(image);
      const std::size_t newLine = tt::RowBytes(height, bits);
      // The block grows only when the turned rows do not fit its pixel area.
      const bool grows = newLine * width > oldBlock - tt::PrefixBytes(image);
      ASSERT_EQ((image.*t.turn)(), 1);
      ASSERT_EQ(image.GetWidth(), static_cast<UINT>(height));
      ASSERT_EQ(image.GetHeight(), static_cast<UINT>(width));
      ASSERT_EQ(image.GetLineBytes(), newLine);
      ASSERT_EQ(tt::PixelArea(image), expected)
          << t.name << " " << width << "x" << height << " at " << bits;
      ASSERT_EQ(image.GetHandle() != handle, grows) << t.name << " " << width << "x" << height;
      // Nothing but zero after the rows; a new block ends with a spare row.
      const std::size_t block = grows ? tt::FreshBlockBytes(image) : oldBlock;
      const tt::Bytes tail = tt::BlockTail(image, block);
      ASSERT_EQ(tail, tt::Bytes(tail.size(), 0)) << t.name << " " << width << "x" << height;
    }
}

TEST(QuarterTurn, SquareImagesTurnInPlaceWithoutMemory) {
  std::mt19937 random(7);
  // Odd and even sides, below, at and across the 64-pixel blocks.
  for (int side : {1, 2, 3, 5, 16, 31, 32, 33, 64, 67, 100, 129, 200, 257})
    for (int bits : {8, 24})
      for (const TurnCase& t : kTurns) {
        CImageDataModel image;
        zt::MakeImage(image, side, side, bits);
        tt::FillRandom(image, random);
        const tt::Bytes expected = t.Reference(image);
        const HGLOBAL handle = image.GetHandle();
        zt::FailNthAllocation fail(1);
        ASSERT_EQ((image.*t.turn)(), 1);
        EXPECT_FALSE(fail.Triggered());
        EXPECT_EQ(image.GetHandle(), handle);
        ASSERT_EQ(tt::PixelArea(image), expected) << t.name << " " << side << " at " << bits;
      }
}

TEST(QuarterTurn, SmallImagesGetTheirPixelsSizeRowLengthHeaderAndRange) {
  CImageDataModel left, right;
  for (CImageDataModel* image : {&left, &right}) {
    zt::MakeImage(*image, 3, 2, 24);
    image->SetPixel(0, 0, RGB(10, 20, 30));
  }
  ASSERT_EQ(left.Left90(), 1);
  ASSERT_EQ(right.Right90(), 1);
  EXPECT_EQ(left.GetPixel(0, 2), RGB(10, 20, 30));
  EXPECT_EQ(right.GetPixel(1, 0), RGB(10, 20, 30));

  for (const TurnCase& t : kTurns) {
    CImageDataModel image;
    zt::MakeImage(image, 5, 3, 8);
    image.SetRange(1, 1, 2, 2);
    const HGLOBAL handle = image.GetHandle();
    ASSERT_EQ((image.*t.turn)(), 1);
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_EQ(image.GetHeight(), 5u);
    EXPECT_EQ(image.GetLineBytes(), 4u) << t.name;
    EXPECT_EQ(image.GetBmh()->biWidth, 3);
    EXPECT_EQ(image.GetBmh()->biHeight, 5);
    EXPECT_EQ(image.GetBmh()->biSizeImage, 24u);  // 8 × 3, as before the turn
    EXPECT_EQ(image.GetRange(), CRect(0, 0, 2, 4));
    EXPECT_EQ(image.GetHandle(), handle) << "the rows fit the block";
  }
}

TEST(QuarterTurn, RoundTripsRestoreThePixels) {
  std::mt19937 random(6);
  for (int bits : {8, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 13, 70, bits);
    tt::FillRandom(image, random);
    ASSERT_EQ(image.Mirror(), 1);  // zeroes the padding, which turns do too
    const tt::Bytes original = tt::PixelArea(image);
    ASSERT_EQ(image.Left90(), 1);
    ASSERT_EQ(image.Right90(), 1);
    EXPECT_EQ(tt::PixelArea(image), original) << bits;
    for (int k = 0; k < 4; ++k) ASSERT_EQ(image.Left90(), 1);
    EXPECT_EQ(tt::PixelArea(image), original) << bits;
    for (int k = 0; k < 4; ++k) ASSERT_EQ(image.Right90(), 1);
    EXPECT_EQ(tt::PixelArea(image), original) << bits;
    EXPECT_EQ(image.GetWidth(), 13u);
    EXPECT_EQ(image.GetLineBytes(), tt::RowBytes(13, bits));
  }
}

TEST(QuarterTurn, RowsThatNeedMoreRoomGetANewBlockWithHeaderTableAndSpareRow) {
  struct Size {
    int width, height;
  };
  for (const TurnCase& t : kTurns)
    for (Size size : {Size{4, 2}, Size{640, 482}}) {
      CImageDataModel image;
      zt::MakeImage(image, size.width, size.height, 8);
      zt::SetGreyTable(image);
      tt::FillLabels(image);
      image.GetBmh()->biXPelsPerMeter = 2835;  // a field the turn must carry over
      const tt::Bytes expected = t.Reference(image);
      const tt::Snapshot before = tt::Take(image);

      ASSERT_EQ((image.*t.turn)(), 1);
      EXPECT_NE(image.GetHandle(), before.handle) << t.name;
      const BYTE* start = reinterpret_cast<const BYTE*>(image.GetBmh());
      EXPECT_EQ(reinterpret_cast<const BYTE*>(image.GetPalette()), start + 40);
      EXPECT_EQ(image.GetBuffer(), start + 40 + 1024);
      const std::size_t line = tt::RowBytes(size.height, 8);
      EXPECT_EQ(image.GetBmh()->biXPelsPerMeter, 2835);
      EXPECT_EQ(image.GetBmh()->biSizeImage, before.block.size() - 1064 - before.lineBytes);
      EXPECT_TRUE(std::equal(before.block.begin() + 40, before.block.begin() + 1064,
                             reinterpret_cast<const BYTE*>(image.GetPalette())))
          << "colour table";
      EXPECT_EQ(tt::PixelArea(image), expected);
      // A spare row of zeros ends the new block (a read past it fails under
      // the address sanitizer).
      EXPECT_EQ(tt::BlockTail(image, 40 + 1024 + line * (size.width + 1)), tt::Bytes(line, 0));
    }
}

TEST(QuarterTurn, OutOfMemoryLeavesTheImageUnchanged) {
  struct Size {
    int width, height, bits;
    bool grows;
  };
  for (const TurnCase& t : kTurns)
    for (Size size : {Size{5, 3, 8, false}, Size{30, 20, 24, false}, Size{4, 2, 8, true}}) {
      CImageDataModel image;
      zt::MakeImage(image, size.width, size.height, size.bits);
      tt::FillLabels(image);
      const tt::Snapshot before = tt::Take(image);
      {
        // The scratch buffer, or the new block: the only allocation either way.
        zt::FailNthAllocation fail(1);
        EXPECT_EQ((image.*t.turn)(), 0) << t.name << " " << size.width << "x" << size.height;
        EXPECT_TRUE(fail.Triggered());
      }
      tt::ExpectUnchanged(image, before);
      zt::FailNthAllocation fail(2);
      EXPECT_EQ((image.*t.turn)(), 1);
      EXPECT_FALSE(fail.Triggered());
      EXPECT_EQ(image.GetHandle() != before.handle, size.grows);
    }
}

TEST(Transforms, OneByOneImagesKeepTheirPixel) {
  for (int bits : {8, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 1, 1, bits);
    image.GetBuffer()[0] = 77;
    image.SetRange(5, 5, 9, 9);
    ASSERT_EQ(image.Flip(), 1);
    ASSERT_EQ(image.Mirror(), 1);
    ASSERT_EQ(image.Rotate(33), 1);
    EXPECT_EQ(image.GetRange(), CRect(5, 5, 9, 9));
    ASSERT_EQ(image.Left90(), 1);
    ASSERT_EQ(image.Right90(), 1);
    EXPECT_EQ(image.GetBuffer()[0], 77);
    EXPECT_EQ(image.GetRange(), CRect(0, 0, 0, 0));
    EXPECT_EQ(image.GetLineBytes(), 4u);
  }
}

TEST(Transforms, EmptyRecordOrUnmovableDepthChangesNothing) {
  CImageDataModel empty;
  EXPECT_EQ(empty.Flip(), 0);
  EXPECT_EQ(empty.Mirror(), 0);
  EXPECT_EQ(empty.Left90(), 0);
  EXPECT_EQ(empty.Right90(), 0);
  EXPECT_EQ(empty.Rotate(30), 0);

  // A host can write any depth into the header; no pixel size follows from
  // 16, and 24 in a block made for 8 bits would reach past its rows.
  for (WORD depth : {16, 1, 32, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 7, 5, 8);
    tt::FillLabels(image);
    image.GetBmh()->biBitCount = depth;
    const tt::Snapshot before = tt::Take(image);
    EXPECT_EQ(image.Flip(), 0) << depth;
    EXPECT_EQ(image.Mirror(), 0) << depth;
    EXPECT_EQ(image.Left90(), 0) << depth;
    EXPECT_EQ(image.Right90(), 0) << depth;
    EXPECT_EQ(image.Rotate(10), 0) << depth;
    tt::ExpectUnchanged(image, before);
  }
}

}  // namespace
