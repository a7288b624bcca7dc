// The larger medians' counting with each width of lanes (32 pixels with
// AVX2, 64 with AVX-512BW), named explicitly on this test program's copy,
// against the literal filter, whatever the library picks on this machine.
#include <gtest/gtest.h>

#include "NoiseImages.h"
#include "NoiseReference.h"
#include "cleanup/MedianWindow.h"
#include "cleanup/NoiseWindow.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

TEST(MedianLanes, EachLaneWidthMatchesTheLiteralFilter) {
  // Widths just above the window, one 64-lane vector and one lane more,
  // and rows of two blocks of 256 with a partial vector after them;
  // windows odd and even, one row or column, and two rows (whose last row
  // counts its own row twice).
  const int windows[][2] = {{10, 10}, {5, 5}, {4, 7}, {9, 3}, {2, 10}, {10, 1}, {1, 6}, {10, 2}};
  const int extraWidths[] = {0, 1, 64, 65, 530};
  const cleanup::MedianLanes lanes[] = {cleanup::MedianLanes::kAvx2, cleanup::MedianLanes::kAvx512};
  zt::TestRandom random(4711);
  for (const cleanup::MedianLanes lane : lanes) {
    for (const auto& window : windows) {
      for (const int extra : extraWidths) {
        const int w = window[0];
        const int h = window[1];
        CImageDataModel image;
        zt::MakeImage(image, w + extra, h + random.Between(0, 6), 8);
        zt::FillGrey(image, static_cast<zt::GreyPattern>(random.Between(0, 3)), random);
        CImageDataModel reference;
        zt::CopyImage(image, reference);
        const cleanup::NoiseWindow noise = zt::NoiseWindowOver(image, w, h);
        if (noise.Empty()) continue;
        if (!cleanup::RunWindowMedian(noise, lane))
          GTEST_SKIP() << "the processor lacks these lanes";
        ASSERT_EQ(zt::ReferenceRemoveNoise(reference, w, h, 0, 3), 1);
        ASSERT_EQ(zt::BlockBytes(image), zt::BlockBytes(reference))
            << w << "x" << h << " image " << image.GetWidth() << "x" << image.GetHeight()
            << " lanes " << static_cast<int>(lane);
      }
    }
  }
}

TEST(MedianLanes, NoLanesLeavesTheImageToTheCaller) {
  CImageDataModel image;
  zt::MakeImage(image, 40, 12, 8);
  zt::TestRandom random(5);
  zt::FillGrey(image, zt::GreyPattern::kNoise, random);
  CImageDataModel before;
  zt::CopyImage(image, before);
  const cleanup::NoiseWindow noise = zt::NoiseWindowOver(image, 5, 5);
  // This copy is built portable: the lanes it would choose and kNone both
  // decline.
  EXPECT_FALSE(cleanup::RunWindowMedian(noise));
  EXPECT_FALSE(cleanup::RunWindowMedian(noise, cleanup::MedianLanes::kNone));
  EXPECT_EQ(zt::BlockBytes(image), zt::BlockBytes(before));
}

}  // namespace
