// The rank filters on real 8-bit files (a grey ramp, a colour-table picture,
// a photo-like GIF) against the literal filter: real pictures have the long
// runs of equal values and smooth gradients that random test images lack,
// and the larger windows take their own paths through them.
#include <gtest/gtest.h>

#include "NoiseImages.h"
#include "NoiseReference.h"
#include "support/TestSupport.h"

namespace {

struct Window {
  int w;
  int h;
  int k;  // neighbour count for type 2
};

// The fast paths by window: 4 × 4 and 5 × 5 sort the remaining samples, 8 × 8
// is the largest to do so, 10 × 10 and 9 × 8 slide a histogram for type 2;
// every one but 3 × 3 takes the column histograms for the median. 10 × 2
// counts its last row twice.
constexpr Window kWindows[] = {{4, 4, 8}, {5, 5, 12},   {8, 8, 32},
                               {9, 8, 1}, {10, 10, 50}, {10, 2, 19}};

TEST(RealFileNoise, LargerRankWindowsMatchTheLiteralFilter) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  for (const char* file :
       {"bmpsuite/g/pal8gs.bmp", "bmpsuite/g/pal8.bmp", "libnsgif/data/waves.gif"}) {
    CImageDataModel source;
    ASSERT_EQ(source.ReadImage(zt::TestDataPath(file).c_str(), ZENTREL_READ_WIDE), 1) << file;
    ASSERT_EQ(source.GetColorPixel(), 8) << file;
    for (const Window& window : kWindows) {
      for (int type : {2, 3}) {
        CImageDataModel fast;
        CImageDataModel reference;
        zt::CopyImage(source, fast);
        zt::CopyImage(source, reference);
        ASSERT_EQ(fast.RemoveNoise(window.w, window.h, window.k, type), 1);
        ASSERT_EQ(zt::ReferenceRemoveNoise(reference, window.w, window.h, window.k, type), 1);
        EXPECT_EQ(zt::BlockBytes(fast), zt::BlockBytes(reference))
            << file << " window " << window.w << "x" << window.h << " k " << window.k << " type "
            << type;
      }
    }
  }
}

}  // namespace
