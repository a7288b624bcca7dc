// The record when memory runs out: every failure is a result, never a
// crash or a half-built image.
#include <gtest/gtest.h>

#include "ImageDataModel.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

TEST(ImageRecordMemory, BlockAllocationFailureLeavesTheRecordEmpty) {
  CImageDataModel image;
  {
    zt::FailNthAllocation fail(1);
    EXPECT_EQ(image.InitImage(20, 10, 8), 0);
    EXPECT_TRUE(fail.Triggered());
  }
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetBuffer(), nullptr);
  EXPECT_EQ(image.InitImage(20, 10, 8), 1);
}

TEST(ImageRecordMemory, PaletteFailuresLeaveTheImageInPlace) {
  CImageDataModel image;
  zt::MakeImage(image, 4, 4, 8);
  for (long n = 1; n <= 3; ++n) {  // palette object, temporary record, platform palette
    zt::FailNthAllocation fail(n);
    EXPECT_EQ(image.InitDIBData(), 0) << n;
    EXPECT_TRUE(fail.Triggered()) << n;
    EXPECT_EQ(image.IsEmpty(), 0);
  }
  EXPECT_EQ(image.InitDIBData(), 1);
  ASSERT_NE(image.GetDIBPalette(), nullptr);
  EXPECT_EQ(image.GetDIBPalette()->GetEntryCount(), 256);
}

}  // namespace
