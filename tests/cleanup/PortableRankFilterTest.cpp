// The rank filters' portable path (used where AVX2 is missing), built into
// this test program, against the literal filter; the library's own path is
// checked through RemoveNoise by the differential tests.
#include <gtest/gtest.h>

#include "NoiseImages.h"
#include "NoiseReference.h"
#include "cleanup/NoiseWindow.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

TEST(PortableRankFilter, MatchesTheLiteralFilter) {
  zt::TestRandom random(314);
  for (int round = 0; round < 60; ++round) {
    // Mostly the 3 × 3 windows with paths of their own, across blocks.
    const bool small = round % 4 != 3;
    const int w = small ? 3 : random.Between(1, 10);
    const int h = small ? 3 : random.Between(1, 10);
    const int type = 2 + round % 2;
    const int n = w * h;
    if (n < 2) continue;
    const int k = type == 2 ? random.Between(1, n - 1) : 0;
    CImageDataModel image;
    zt::MakeImage(image, random.Between(w, 600), random.Between(h, h + 9), 8);
    zt::FillGrey(image, static_cast<zt::GreyPattern>(random.Between(0, 3)), random);
    CImageDataModel reference;
    zt::CopyImage(image, reference);
    const cleanup::NoiseWindow window = zt::NoiseWindowOver(image, w, h);
    if (!window.Empty()) cleanup::RunRankFilter(window, k, type);
    ASSERT_EQ(zt::ReferenceRemoveNoise(reference, w, h, k, type), 1);
    ASSERT_EQ(zt::BlockBytes(image), zt::BlockBytes(reference))
        << w << "x" << h << " k " << k << " type " << type << " image " << image.GetWidth() << "x"
        << image.GetHeight();
  }
}

TEST(PortableRankFilter, LargerMediansMatchTheLiteralFilter) {
  // The portable median for windows other than 3 × 3 (the sliding
  // histogram, which also serves where scratch memory is refused), including
  // the last row of a two-row window (its own row counted twice) and windows
  // too wide for all but a few pixels.
  zt::TestRandom random(2718);
  const int windows[][2] = {{5, 5}, {10, 10}, {10, 2}, {3, 2}, {2, 10}, {10, 1}, {4, 7}};
  for (const auto& window : windows) {
    for (int pattern = 0; pattern < 4; ++pattern) {
      const int w = window[0];
      const int h = window[1];
      CImageDataModel image;
      zt::MakeImage(image, random.Between(w, 90), random.Between(h, h + 8), 8);
      zt::FillGrey(image, static_cast<zt::GreyPattern>(pattern), random);
      CImageDataModel reference;
      zt::CopyImage(image, reference);
      const cleanup::NoiseWindow noise = zt::NoiseWindowOver(image, w, h);
      if (!noise.Empty()) cleanup::RunRankFilter(noise, 0, 3);
      ASSERT_EQ(zt::ReferenceRemoveNoise(reference, w, h, 0, 3), 1);
      ASSERT_EQ(zt::BlockBytes(image), zt::BlockBytes(reference))
          << w << "x" << h << " image " << image.GetWidth() << "x" << image.GetHeight();
    }
  }
}

}  // namespace
