// The fast noise filters against the literal one on random images: every
// window size 1..10 × 1..10 (even ones included), every type, neighbour
// counts at and inside their limits, images full of ties, and images wide
// and tall enough to fill every stage of the row pipeline of the mean
// filters. Results must agree to the byte, padding and spare row included.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "NoiseImages.h"
#include "NoiseReference.h"

namespace {

struct Case {
  int w;
  int h;
  int k;
  int type;
};

/// Filters one image with both implementations and compares everything.
void ExpectSameAsReference(const CImageDataModel& source, const Case& c) {
  CImageDataModel fast;
  CImageDataModel reference;
  zt::CopyImage(source, fast);
  zt::CopyImage(source, reference);
  const int fastResult = fast.RemoveNoise(c.w, c.h, c.k, c.type);
  ASSERT_EQ(fastResult, zt::ReferenceRemoveNoise(reference, c.w, c.h, c.k, c.type));
  ASSERT_EQ(zt::BlockBytes(fast), zt::BlockBytes(reference))
      << "window " << c.w << "x" << c.h << " k " << c.k << " type " << c.type << " image "
      << source.GetWidth() << "x" << source.GetHeight();
}

/// Neighbour counts worth trying for a window of n samples.
std::vector<int> CountsFor(int type, int n, zt::TestRandom& random) {
  if (type != 2) return {n == 1 ? 0 : random.Between(-3, n - 1)};
  std::vector<int> counts;
  for (int k : {1, n - 1, (n + 1) / 2, random.Between(1, n)})
    if (k >= 1 && k < n) counts.push_back(k);
  return counts;
}

zt::GreyPattern AnyPattern(zt::TestRandom& random) {
  return static_cast<zt::GreyPattern>(random.Between(0, 2));
}

TEST(RemoveNoiseDifferential, EveryWindowSizeAndTypeMatchesTheLiteralFilter) {
  zt::TestRandom random(2024);
  for (int h = 1; h <= 10; ++h) {
    for (int w = 1; w <= 10; ++w) {
      for (int type = 0; type <= 4; ++type) {
        for (int pattern = 0; pattern < 3; ++pattern) {
          // From too small to filter anything to a few windows across, so
          // that the clamped edge samples of even windows are exercised.
          CImageDataModel image;
          zt::MakeImage(image, random.Between(w > 2 ? w - 2 : 1, 2 * w + 9),
                        random.Between(h > 2 ? h - 2 : 1, 2 * h + 7), 8);
          zt::FillGrey(image, static_cast<zt::GreyPattern>(pattern), random);
          for (int k : CountsFor(type, w * h, random)) {
            ExpectSameAsReference(image, Case{w, h, k, type});
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

TEST(RemoveNoiseDifferential, WideImagesWithManyRowsInFlight) {
  // The mean filters work on many rows at once, each trailing the one above;
  // widths around multiples of their work unit, and heights that leave rows
  // in every stage of that pipeline. The widest fill every SIMD lane.
  zt::TestRandom random(31);
  const int widths[] = {63, 64, 65, 127, 128, 129, 200, 515, 1030};
  for (int h = 1; h <= 10; ++h) {
    for (int w = 1; w <= 10; ++w) {
      const int n = w * h;
      CImageDataModel image;
      zt::MakeImage(image, widths[random.Between(0, 8)], random.Between(h, h + 30), 8);
      zt::FillGrey(image, AnyPattern(random), random);
      ExpectSameAsReference(image, Case{w, h, n > 1 ? random.Between(1, n - 1) : 0, (w + h) % 5});
      if (HasFatalFailure()) return;
    }
  }
  const Case widest[] = {{3, 3, 0, 0},  {10, 10, 0, 0}, {5, 5, 0, 1}, {10, 9, 0, 1}, {3, 3, 0, 4},
                         {8, 10, 0, 4}, {2, 2, 0, 0},   {1, 6, 0, 4}, {7, 1, 0, 1},  {6, 4, 0, 0}};
  for (const Case& c : widest) {
    CImageDataModel image;
    zt::MakeImage(image, random.Between(6200, 6800), random.Between(c.h + 30, c.h + 40), 8);
    zt::FillGrey(image, AnyPattern(random), random);
    ExpectSameAsReference(image, c);
    if (HasFatalFailure()) return;
  }
}

TEST(RemoveNoiseDifferential, RankFiltersOnLargerImages) {
  zt::TestRandom random(99);
  const Case cases[] = {{3, 3, 4, 2}, {5, 5, 12, 2}, {10, 10, 37, 2}, {4, 6, 9, 2},
                        {3, 3, 0, 3}, {5, 5, 0, 3},  {10, 10, 0, 3},  {7, 2, 0, 3}};
  for (const Case& c : cases) {
    for (int pattern = 0; pattern < 3; ++pattern) {
      CImageDataModel image;
      zt::MakeImage(image, 61, 47, 8);
      zt::FillGrey(image, static_cast<zt::GreyPattern>(pattern), random);
      ExpectSameAsReference(image, c);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(RemoveNoiseDifferential, MedianWindowsAtLaneBlockAndImageEdges) {
  // The larger medians count 32 pixels side by side in blocks of 256,
  // with a serial step that carries the last hw results of a row: widths
  // just above the window, and filtered pixels per row around 32 and 256
  // (hw columns stay unfiltered on each side); light, dark and tie-heavy
  // images, which the run counting takes from the top or from the bottom.
  zt::TestRandom random(4711);
  const Case windows[] = {{5, 5, 0, 3},  {10, 10, 0, 3}, {4, 4, 0, 3}, {9, 2, 0, 3},
                          {10, 1, 0, 3}, {1, 10, 0, 3},  {2, 9, 0, 3}, {7, 6, 0, 3}};
  for (const Case& c : windows) {
    const int band = 2 * ((c.w - 1) / 2);
    const int widths[] = {c.w,        c.w + 1,    band + 31,  band + 32, band + 33,
                          band + 255, band + 256, band + 257, band + 289};
    for (int width : widths) {
      CImageDataModel image;
      zt::MakeImage(image, width, c.h + random.Between(0, 6), 8);
      zt::FillGrey(image, static_cast<zt::GreyPattern>(random.Between(0, 3)), random);
      ExpectSameAsReference(image, c);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(RemoveNoiseDifferential, MedianOfImagesMixingDarkAndLight) {
  // Strokes on paper: runs of 32 pixels whose ranks lie far apart, so that
  // the values counted one by one span many runs of 16 values.
  zt::TestRandom random(808);
  for (const Case& c : {Case{5, 5, 0, 3}, Case{10, 10, 0, 3}, Case{6, 3, 0, 3}}) {
    CImageDataModel image;
    zt::MakeImage(image, 300, 40, 8);
    for (UINT y = 0; y < 40; ++y) {
      for (UINT x = 0; x < 300; ++x) {
        const bool stroke = (x / 7 + y / 5) % 4 == 0;
        const int value = stroke ? random.Between(0, 60) : random.Between(180, 255);
        zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(value));
      }
    }
    ExpectSameAsReference(image, c);
    if (HasFatalFailure()) return;
  }
}

TEST(RemoveNoiseDifferential, MedianCountsAcrossUpdateBlocksAndAtExtremeValues) {
  // The larger medians keep per-window counts of every value, brought to
  // the next row 32 columns apart in blocks of 512 (part of it between the
  // serial steps): widths around one and two blocks and a last block
  // shorter than 32 columns, windows of one and two rows (whose leaving
  // row is the own row) and even ones (the edge column counted twice).
  // Samples crowd at 0 and 255, the first and last rows of counts.
  zt::TestRandom random(2718);
  const Case windows[] = {{10, 10, 0, 3}, {5, 5, 0, 3}, {4, 4, 0, 3},
                          {10, 2, 0, 3},  {7, 1, 0, 3}, {9, 3, 0, 3}};
  const int widths[] = {511, 512, 513, 1041};
  for (const Case& c : windows) {
    for (int width : widths) {
      CImageDataModel image;
      zt::MakeImage(image, width, c.h + random.Between(1, 3), 8);
      const bool extremes = random.Between(0, 1) == 0;
      for (UINT y = 0; y < image.GetHeight(); ++y) {
        for (UINT x = 0; x < image.GetWidth(); ++x) {
          const int pick = random.Between(0, 5);
          const int value = !extremes  ? random.Between(0, 255)
                            : pick < 2 ? 0
                            : pick < 4 ? 255
                                       : random.Between(0, 3) * 85;
          zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(value));
        }
      }
      ExpectSameAsReference(image, c);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(RemoveNoiseDifferential, RankFiltersOnRowsOfSeveralBlocks) {
  // The 3 × 3 rank filters work out what does not depend on the previous
  // result for blocks of pixels ahead; rows across block boundaries, every
  // neighbour count, and images full of ties (where the order of samples
  // at equal distance decides).
  zt::TestRandom random(57);
  const int widths[] = {3, 17, 255, 256, 257, 258, 259, 513, 777};
  for (int round = 0; round < 40; ++round) {
    CImageDataModel image;
    zt::MakeImage(image, widths[round % 9], random.Between(3, 9), 8);
    zt::FillGrey(image, static_cast<zt::GreyPattern>(round % 4), random);
    for (int k = 1; k <= 8; ++k) ExpectSameAsReference(image, Case{3, 3, k, 2});
    ExpectSameAsReference(image, Case{3, 3, 0, 3});
    if (HasFatalFailure()) return;
  }
}

}  // namespace
