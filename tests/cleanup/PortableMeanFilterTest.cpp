// The mean filters' portable path (used where SSE2 is missing), built into
// this test program, against the literal filter.
#include <gtest/gtest.h>

#include "NoiseImages.h"
#include "NoiseReference.h"
#include "cleanup/NoiseWindow.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

/// Runs the portable mean filter directly on the image's rows.
bool PortableMeanFilter(CImageDataModel& image, int w, int h, int type) {
  const cleanup::NoiseWindow window = zt::NoiseWindowOver(image, w, h);
  return window.Empty() || cleanup::RunMeanFilter(window, type);
}

TEST(PortableMeanFilter, MatchesTheLiteralFilter) {
  zt::TestRandom random(88);
  for (int round = 0; round < 60; ++round) {
    const int w = random.Between(1, 10);
    const int h = random.Between(1, 10);
    const int type = round % 3 == 2 ? 4 : round % 3;
    CImageDataModel image;
    zt::MakeImage(image, random.Between(w, 700), random.Between(h, h + 12), 8);
    zt::FillGrey(image, static_cast<zt::GreyPattern>(random.Between(0, 2)), random);
    CImageDataModel reference;
    zt::CopyImage(image, reference);
    ASSERT_TRUE(PortableMeanFilter(image, w, h, type));
    ASSERT_EQ(zt::ReferenceRemoveNoise(reference, w, h, 0, type), 1);
    ASSERT_EQ(zt::BlockBytes(image), zt::BlockBytes(reference))
        << w << "x" << h << " type " << type << " image " << image.GetWidth() << "x"
        << image.GetHeight();
  }
}

}  // namespace
