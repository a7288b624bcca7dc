// The noise filter's parameter checks, results and in-place effects on
// hand-made windows, and the decisions taken where the filter's literal
// arithmetic would misbehave.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "ImageDataModel.h"
#include "NoiseImages.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

/// An 8-bit image from rows of samples (top row first).
void MakeGrey(CImageDataModel& image, const std::vector<std::vector<int>>& rows) {
  zt::MakeImage(image, static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 8);
  zt::SetGreyTable(image);
  for (UINT y = 0; y < rows.size(); ++y)
    for (UINT x = 0; x < rows[y].size(); ++x)
      zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(rows[y][x]));
}

/// A 12 × 9 8-bit image of random samples.
void MakeNoisyGrey(CImageDataModel& image, std::uint64_t seed) {
  zt::TestRandom random(seed);
  zt::MakeImage(image, 12, 9, 8);
  zt::FillGrey(image, zt::GreyPattern::kNoise, random);
}

std::vector<std::vector<int>> Samples(const CImageDataModel& image) {
  std::vector<std::vector<int>> rows(image.GetHeight());
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) rows[y].push_back(zt::IndexAt(image, x, y));
  return rows;
}

/// The centre of a 3 × 3 image of eight 100s around `centre` after one
/// 3 × 3 pass of `type`.
int FilteredCentre(int centre, int type) {
  CImageDataModel image;
  MakeGrey(image, {{100, 100, 100}, {100, centre, 100}, {100, 100, 100}});
  EXPECT_EQ(image.RemoveNoise(3, 3, 0, type), 1);
  return zt::IndexAt(image, 1, 1);
}

TEST(RemoveNoise, RejectsBadParametersBeforeTouchingTheImage) {
  CImageDataModel image;
  MakeNoisyGrey(image, 1);
  const std::vector<std::uint8_t> before = zt::BlockBytes(image);
  for (int type = 0; type <= 4; ++type) {
    EXPECT_EQ(image.RemoveNoise(0, 3, 1, type), 0);
    EXPECT_EQ(image.RemoveNoise(3, 0, 1, type), 0);
    EXPECT_EQ(image.RemoveNoise(11, 3, 1, type), 0);
    EXPECT_EQ(image.RemoveNoise(3, 11, 1, type), 0);
    EXPECT_EQ(image.RemoveNoise(3, 3, 9, type), 0);  // k = W × H
    EXPECT_EQ(image.RemoveNoise(2, 5, 10, type), 0);
  }
  // Types outside 0..4 are accepted and do nothing.
  EXPECT_EQ(image.RemoveNoise(3, 3, 1, 5), 1);
  EXPECT_EQ(image.RemoveNoise(3, 3, 1, -1), 1);
  EXPECT_EQ(zt::BlockBytes(image), before);

  // k = W × H − 1 is accepted; other types take any smaller k.
  EXPECT_EQ(image.RemoveNoise(3, 3, 8, 2), 1);
  EXPECT_EQ(image.RemoveNoise(3, 3, -7, 0), 1);
  CImageDataModel empty;
  EXPECT_EQ(empty.RemoveNoise(3, 3, 1, 0), 0);
}

// nearest-k-positive: the nearest-values mean needs at least one value; a k
// below 1 is refused with the image unchanged rather than turning every
// filtered pixel black.
TEST(RemoveNoise, NearestKPositiveOrRefusedUnchanged) {
  CImageDataModel image;
  MakeNoisyGrey(image, 3);
  const std::vector<std::uint8_t> before = zt::BlockBytes(image);
  for (int k : {0, -1, -4, -99}) EXPECT_EQ(image.RemoveNoise(3, 3, k, 2), 0) << k;
  EXPECT_EQ(zt::BlockBytes(image), before);
  EXPECT_EQ(image.RemoveNoise(3, 3, 1, 2), 1);
}

// denoise-grey-only: the filters read every byte as a grey sample; a 24-bit
// row holds blue, green and red, so filtering it would scramble the colours.
TEST(RemoveNoise, DenoiseGreyOnlyTrueColourRefusedUnchanged) {
  CImageDataModel image;
  zt::MakeImage(image, 9, 9, 24);
  for (UINT y = 0; y < 9; ++y)
    for (UINT x = 0; x < 9; ++x) image.SetPixel(x, y, RGB(x * 20, y * 20, 200));
  const std::vector<std::uint8_t> before = zt::BlockBytes(image);
  for (int type = 0; type <= 4; ++type) EXPECT_EQ(image.RemoveNoise(3, 3, 4, type), 0);
  EXPECT_EQ(zt::BlockBytes(image), before);
}

TEST(RemoveNoise, MeanOfAWindowSeesTheValuesAlreadyWritten) {
  CImageDataModel image;
  MakeGrey(image, {{0, 0, 0, 0}, {0, 90, 0, 0}, {0, 0, 0, 0}});
  EXPECT_EQ(image.RemoveNoise(3, 3, 0, 0), 1);
  // (1, 1) becomes 90 / 9 = 10; the window of (2, 1) then holds that 10.
  EXPECT_EQ(Samples(image),
            (std::vector<std::vector<int>>{{0, 0, 0, 0}, {0, 10, 1, 0}, {0, 0, 0, 0}}));
}

TEST(RemoveNoise, OutlierMeanNeedsADifferenceAboveTwenty) {
  EXPECT_EQ(FilteredCentre(122, 1), 122);  // mean 102, 20 above it
  EXPECT_EQ(FilteredCentre(123, 1), 102);  // mean 102, 21 above it
  EXPECT_EQ(FilteredCentre(77, 1), 77);    // mean 97, 20 below it
  EXPECT_EQ(FilteredCentre(76, 1), 97);    // mean 97, 21 below it
}

TEST(RemoveNoise, ContrastRaisingIsLimitedToTheByteRange) {
  // 2v − m would be 289 and −13; the low eight bits would store 143 and
  // 137, turning a bright pixel dark and a dark one light.
  EXPECT_EQ(FilteredCentre(200, 4), 255);
  EXPECT_EQ(FilteredCentre(40, 4), 0);
  EXPECT_EQ(FilteredCentre(110, 4), 2 * 110 - 101);
}

TEST(RemoveNoise, NearestValuesTakeTiesInReadingOrder) {
  CImageDataModel first;
  MakeGrey(first, {{90, 110, 50}, {200, 100, 0}, {10, 20, 30}});
  EXPECT_EQ(first.RemoveNoise(3, 3, 2, 2), 1);
  EXPECT_EQ(zt::IndexAt(first, 1, 1), 95);  // 100 and 90, which comes before 110

  CImageDataModel swapped;
  MakeGrey(swapped, {{110, 90, 50}, {200, 100, 0}, {10, 20, 30}});
  EXPECT_EQ(swapped.RemoveNoise(3, 3, 2, 2), 1);
  EXPECT_EQ(zt::IndexAt(swapped, 1, 1), 105);
}

TEST(RemoveNoise, MedianOfAnEvenWindowIsTheLowerMiddle) {
  CImageDataModel image;
  MakeGrey(image, {{7, 3, 9, 5}});
  EXPECT_EQ(image.RemoveNoise(4, 1, 0, 3), 1);
  // (1, 0): window 7 3 9 5, sorted 3 5 7 9: index 1.
  EXPECT_EQ(zt::IndexAt(image, 1, 0), 5);
}

TEST(RemoveNoise, EvenWindowsReadTheEdgeSampleNotThePadding) {
  // Row [10, 20, 30] padded to four bytes; the padding byte is set so that
  // reading it would show.
  CImageDataModel row;
  MakeGrey(row, {{10, 20, 30}});
  row.GetBuffer()[3] = 200;
  EXPECT_EQ(row.RemoveNoise(2, 1, 0, 0), 1);
  // The last window is columns 2 and 3, column 3 reading column 2.
  EXPECT_EQ(Samples(row), (std::vector<std::vector<int>>{{15, 25, 30}}));
  EXPECT_EQ(row.GetBuffer()[3], 200);

  // The same downwards: the last row's window reads the last row twice.
  CImageDataModel column;
  MakeGrey(column, {{10}, {20}, {30}});
  EXPECT_EQ(column.RemoveNoise(1, 2, 0, 0), 1);
  EXPECT_EQ(Samples(column), (std::vector<std::vector<int>>{{15}, {25}, {30}}));
}

TEST(RemoveNoise, TooFewRowsOrOneSampleWindowsChangeNothing) {
  CImageDataModel image;
  zt::TestRandom random(5);
  zt::MakeImage(image, 7, 2, 8);
  zt::FillGrey(image, zt::GreyPattern::kNoise, random);
  const std::vector<std::uint8_t> before = zt::BlockBytes(image);
  EXPECT_EQ(image.RemoveNoise(3, 3, 0, 0), 1);
  EXPECT_EQ(image.RemoveNoise(1, 1, 0, 0), 1);
  EXPECT_EQ(image.RemoveNoise(1, 1, 0, 3), 1);
  EXPECT_EQ(zt::BlockBytes(image), before);
}

// mean-filter-scratch: types 0, 1 and 4 need scratch memory; when any of it
// is refused they return 0 with the image unchanged, never an unfiltered
// image reported as filtered.
TEST(RemoveNoise, MeanFilterScratchRefusedLeavesTheImageUnchanged) {
  CImageDataModel image;
  zt::TestRandom random(9);
  zt::MakeImage(image, 40, 30, 8);
  zt::FillGrey(image, zt::GreyPattern::kNoise, random);
  const std::vector<std::uint8_t> before = zt::BlockBytes(image);
  for (int type : {0, 1, 4}) {
    for (long n = 1;; ++n) {
      zt::FailNthAllocation fail(n);
      const int result = image.RemoveNoise(3, 3, 0, type);
      if (!fail.Triggered()) {  // every allocation was granted: filtered
        EXPECT_EQ(result, 1);
        std::memcpy(image.GetBmh(), before.data(), before.size());
        break;
      }
      EXPECT_EQ(result, 0) << type << " " << n;
      EXPECT_EQ(zt::BlockBytes(image), before);
    }
  }
  // The rank filters work without scratch memory.
  zt::FailNthAllocation fail(1);
  EXPECT_EQ(image.RemoveNoise(3, 3, 0, 3), 1);
  EXPECT_FALSE(fail.Triggered());
}

// median-without-scratch: the larger medians take scratch memory for their
// window counts; without it they filter through a histogram that needs
// none, so the call still filters and succeeds as the written filter does.
TEST(RemoveNoise, MedianWithoutScratchMemoryStillFilters) {
  zt::TestRandom random(12);
  for (const int side : {5, 10}) {
    CImageDataModel image;
    zt::MakeImage(image, 70, 30, 8);
    zt::FillGrey(image, zt::GreyPattern::kNoise, random);
    CImageDataModel expected;
    zt::CopyImage(image, expected);
    ASSERT_EQ(expected.RemoveNoise(side, side, 0, 3), 1);
    zt::FailNthAllocation fail(1);
    EXPECT_EQ(image.RemoveNoise(side, side, 0, 3), 1);
    EXPECT_TRUE(fail.Triggered());
    EXPECT_EQ(zt::BlockBytes(image), zt::BlockBytes(expected)) << side;
  }
}

}  // namespace
