// The mean of the k nearest values on windows other than 3 × 3 against the
// literal filter, where its sorting-network path has edges of its own: rows
// across its groups of 64 pixels and blocks of 256, images just wide enough
// for one pixel, k at and next to m = hw (the samples written to the left)
// and to W × H − 1 (every k for 5 × 5, whose networks are pruned for k),
// every remainder size with a network kept in registers, images full of
// ties, the last row of a two-row window (which holds its own row
// twice), the 5 × 5 rows around their groups of sixteen pixels, and rows
// filtered side by side (few and many of them, short and long). Also
// through the portable copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "NoiseImages.h"
#include "NoiseReference.h"
#include "cleanup/NearestWindow.h"
#include "cleanup/NoiseWindow.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

struct Window {
  int w;
  int h;
};

// Windows of every written-sample count (hw 0 .. 4), with the remainder of
// the window from 2 to 64 samples (the network's widest), and one past it.
const Window kWindows[] = {{2, 1},  {1, 10}, {2, 2}, {3, 1}, {4, 4},  {5, 5}, {2, 10},
                           {10, 1}, {10, 4}, {6, 6}, {8, 8}, {6, 10}, {4, 3}, {7, 10}};

/// Neighbour counts at the edges the merge of written samples has: 1, hw,
/// hw + 1, N − hw − 1, N − hw, N − 1, and the middle.
std::vector<int> EdgeCounts(const Window& window) {
  const int n = window.w * window.h;
  const int m = (window.w - 1) / 2;
  std::vector<int> counts;
  for (int k : {1, m, m + 1, n / 2, n - m - 1, n - m, n - 1})
    if (k >= 1 && k < n && std::find(counts.begin(), counts.end(), k) == counts.end())
      counts.push_back(k);
  return counts;
}

/// Widths from one filtered pixel to rows past a block of 256, around the
/// groups of 64 pixels the network sorts at once.
std::vector<int> EdgeWidths(const Window& window) {
  const int band = 2 * ((window.w - 1) / 2);
  std::vector<int> widths;
  for (int filtered : {1, 63, 64, 65, 257}) widths.push_back(band + filtered);
  return widths;
}

/// Filters a copy of source with RemoveNoise, or with the rank filter
/// built into this test program without AVX2 when portable is set, and
/// compares the whole block with the literal filter's.
void ExpectSameAsReference(const CImageDataModel& source, const Window& window, int k,
                           bool portable) {
  CImageDataModel fast;
  CImageDataModel reference;
  zt::CopyImage(source, fast);
  zt::CopyImage(source, reference);
  ASSERT_EQ(zt::ReferenceRemoveNoise(reference, window.w, window.h, k, 2), 1);
  if (portable) {
    const cleanup::NoiseWindow rows = zt::NoiseWindowOver(fast, window.w, window.h);
    if (!rows.Empty()) cleanup::RunRankFilter(rows, k, 2);
  } else {
    ASSERT_EQ(fast.RemoveNoise(window.w, window.h, k, 2), 1);
  }
  ASSERT_EQ(zt::BlockBytes(fast), zt::BlockBytes(reference))
      << "window " << window.w << "x" << window.h << " k " << k << " image " << source.GetWidth()
      << "x" << source.GetHeight() << (portable ? " portable" : "");
}

class NearestWindowPaths : public ::testing::TestWithParam<bool> {};

TEST_P(NearestWindowPaths, RowsAcrossGroupsAndBlocksWithEdgeCountsMatchTheLiteralFilter) {
  zt::TestRandom random(4242);
  for (const Window& window : kWindows) {
    for (int width : EdgeWidths(window)) {
      // Ties on every other image: few levels symmetric about a centre.
      const auto pattern = width % 2 ? zt::GreyPattern::kFewLevels : zt::GreyPattern::kNoise;
      CImageDataModel image;
      zt::MakeImage(image, width, window.h + random.Between(0, 2), 8);
      zt::FillGrey(image, pattern, random);
      for (int k : EdgeCounts(window)) {
        ExpectSameAsReference(image, window, k, GetParam());
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_P(NearestWindowPaths, EveryNetworkKeptInRegistersMatchesTheLiteralFilter) {
  // Each remainder of up to 32 samples has a network of its own, and the
  // 5 × 5 window one for every k: two groups of 64 pixels a row.
  zt::TestRandom random(913);
  for (int h = 1; h <= 10; ++h) {
    for (int w = 1; w <= 10; ++w) {
      const int n = w * h;
      const int m = (w - 1) / 2;
      if (n - m > 32 || n < 2 || (w == 3 && h == 3)) continue;
      CImageDataModel image;
      zt::MakeImage(image, 2 * m + 128 + (w + 1) % 2, h + 1, 8);
      zt::FillGrey(image, w % 2 ? zt::GreyPattern::kFewLevels : zt::GreyPattern::kNoise, random);
      std::vector<int> counts = EdgeCounts(Window{w, h});
      if (w == 5 && h == 5) {
        counts.clear();
        for (int k = 1; k < n; ++k) counts.push_back(k);
      }
      for (int k : counts) {
        ExpectSameAsReference(image, Window{w, h}, k, GetParam());
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_P(NearestWindowPaths, FiveByFiveRowsAroundGroupsOfSixteenMatchTheLiteralFilter) {
  // The 5 × 5 rows run in groups of sixteen pixels, each group planned
  // while the one before is stepped, the last group moved back to end with
  // the row: rows one short of a group, of one and several groups, with
  // and without a short last group, and an odd and even count of groups;
  // from one filtered row to four.
  zt::TestRandom random(1616);
  int height = 5;
  for (int filtered : {15, 16, 17, 31, 32, 33, 47, 48, 50}) {
    for (const auto pattern : {zt::GreyPattern::kFewLevels, zt::GreyPattern::kNoise}) {
      height = height == 8 ? 5 : height + 1;
      CImageDataModel image;
      zt::MakeImage(image, filtered + 4, height, 8);
      zt::FillGrey(image, pattern, random);
      for (int k = 1; k < 25; ++k) {
        ExpectSameAsReference(image, Window{5, 5}, k, GetParam());
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_P(NearestWindowPaths, ImagesJustWideOrTallEnoughMatchTheLiteralFilter) {
  // Even windows reach one column (row) past the last pixel's: on an image
  // one narrower (lower) than the window that sample is the edge's.
  zt::TestRandom random(77);
  for (const Window& window : kWindows) {
    for (int extra = -1; extra <= 1; ++extra) {
      CImageDataModel image;
      zt::MakeImage(image, std::max(1, window.w + extra), std::max(1, window.h + extra + 1), 8);
      zt::FillGrey(image, zt::GreyPattern::kRampWithNoise, random);
      for (int k : EdgeCounts(window)) {
        ExpectSameAsReference(image, window, k, GetParam());
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_P(NearestWindowPaths, LastRowOfTwoRowWindowsMatchesTheLiteralFilter) {
  // A window two rows high reads the last row twice for that row's pixels,
  // so the samples written to the left come twice in the reading order.
  zt::TestRandom random(5);
  for (int w = 1; w <= 10; ++w) {
    CImageDataModel image;
    zt::MakeImage(image, random.Between(w, 70), random.Between(2, 4), 8);
    zt::FillGrey(image, zt::GreyPattern::kFewLevels, random);
    for (int k : EdgeCounts(Window{w, 2})) {
      ExpectSameAsReference(image, Window{w, 2}, k, GetParam());
      if (HasFatalFailure()) return;
    }
  }
}

TEST(NearestWindowLanes, EachLaneWidthMatchesTheLiteralFilter) {
  // This program's copy with the lanes named, whatever the library picks
  // here: networks in registers and in memory over up to 64 samples,
  // counting past 32 (with AVX2 or AVX-512BW), odd and even windows, rows
  // of one pixel, of one group, one pixel past it and of two groups and a
  // part. The portable loops decline windows past 64 samples.
  const Window windows[] = {{4, 4}, {5, 5}, {6, 6}, {7, 9}, {8, 8}, {10, 6}, {9, 9}, {10, 10}};
  zt::TestRandom random(6464);
  for (const auto lanes : {cleanup::NearestLanes::kNone, cleanup::NearestLanes::kAvx2,
                           cleanup::NearestLanes::kAvx512}) {
    for (const Window& window : windows) {
      for (int filtered : {1, 64, 65, 150}) {
        CImageDataModel image;
        zt::MakeImage(image, 2 * ((window.w - 1) / 2) + filtered, window.h + 2, 8);
        zt::FillGrey(image, filtered % 2 ? zt::GreyPattern::kFewLevels : zt::GreyPattern::kNoise,
                     random);
        for (int k : EdgeCounts(window)) {
          CImageDataModel fast;
          CImageDataModel reference;
          zt::CopyImage(image, fast);
          zt::CopyImage(image, reference);
          if (!cleanup::RunNearestWindow(zt::NoiseWindowOver(fast, window.w, window.h), k, lanes)) {
            // Lanes the processor lacks, or a window past 64 samples
            // without AVX2: declined with the image untouched.
            ASSERT_EQ(zt::BlockBytes(fast), zt::BlockBytes(image));
            continue;
          }
          ASSERT_EQ(zt::ReferenceRemoveNoise(reference, window.w, window.h, k, 2), 1);
          ASSERT_EQ(zt::BlockBytes(fast), zt::BlockBytes(reference))
              << "window " << window.w << "x" << window.h << " k " << k << " width "
              << image.GetWidth() << " lanes " << static_cast<int>(lanes);
        }
      }
    }
  }
}

TEST(NearestWindowRows, RowsSideBySideMatchTheLiteralFilter) {
  // Rows run side by side, each a number of groups of 64 pixels behind the
  // row above: fewer rows than lanes and more (lanes taking a second
  // row), rows of one group, of two and of five (one lane then lags two
  // groups, or three with two lanes), the last row of a two-row window
  // left to the rows after each other, and k = 1, which never runs side
  // by side. With each lane width the processor has.
  const Window windows[] = {{4, 4}, {7, 7}, {6, 2}, {10, 10}};
  zt::TestRandom random(1717);
  for (const Window& window : windows) {
    const int n = window.w * window.h;
    for (int filtered : {60, 100, 300}) {
      CImageDataModel image;
      zt::MakeImage(image, 2 * ((window.w - 1) / 2) + filtered, 23, 8);
      zt::FillGrey(image, zt::GreyPattern::kFewLevels, random);
      for (int k : {1, 2, n / 2, n - 1}) {
        CImageDataModel reference;
        zt::CopyImage(image, reference);
        ASSERT_EQ(zt::ReferenceRemoveNoise(reference, window.w, window.h, k, 2), 1);
        for (const auto lanes : {cleanup::NearestLanes::kNone, cleanup::NearestLanes::kAvx2,
                                 cleanup::NearestLanes::kAvx512}) {
          for (int rowLanes : {1, 2, 5, 16}) {
            CImageDataModel fast;
            zt::CopyImage(image, fast);
            if (!cleanup::RunNearestWindow(zt::NoiseWindowOver(fast, window.w, window.h), k, lanes,
                                           rowLanes))
              continue;  // lanes the processor lacks; past 64 samples only with AVX2
            ASSERT_EQ(zt::BlockBytes(fast), zt::BlockBytes(reference))
                << "window " << window.w << "x" << window.h << " k " << k << " width "
                << image.GetWidth() << " lanes " << static_cast<int>(lanes) << " rows side by side "
                << rowLanes;
          }
        }
      }
    }
  }
}

TEST_P(NearestWindowPaths, LongRowsSideBySideMatchTheLiteralFilter) {
  // Rows of 33 groups, so that with sixteen rows side by side each row
  // runs three groups behind the one above, and the lanes take new rows
  // while others are still at work: one written sample on a network in
  // registers, four on a network in memory.
  zt::TestRandom random(2100);
  for (const Window& window : {Window{4, 4}, Window{9, 5}}) {
    const int n = window.w * window.h;
    const int m = (window.w - 1) / 2;
    CImageDataModel image;
    zt::MakeImage(image, 2 * m + 33 * 64 - 10, 21, 8);
    zt::FillGrey(image, zt::GreyPattern::kFewLevels, random);
    for (int k : {m, n / 2, n - m - 1}) {
      ExpectSameAsReference(image, window, k, GetParam());
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LibraryAndPortable, NearestWindowPaths, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Portable") : std::string("Library");
                         });

}  // namespace
