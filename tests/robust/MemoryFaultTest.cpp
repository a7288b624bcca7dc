// Operations when memory is scarce: each allocation an operation makes is
// refused in turn, and the operation must then return 0 with the image
// exactly as it was (pixels, colour table, header, size, working rectangle
// and block); once nothing is refused it must succeed.
#include <gtest/gtest.h>

#include <functional>

#include "RobustSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

struct Case {
  const char* name;
  int width, height, bits;
  std::function<int(CImageDataModel&)> operation;
};

/// Refuses each allocation of the operation in turn; returns how many
/// allocations the successful run made.
long RefuseEachAllocation(const Case& c) {
  for (long n = 1; n < 20; ++n) {
    CImageDataModel image;
    robust::MakePatterned(image, c.width, c.height, c.bits);
    image.SetRange(2, 3, 4, 5);
    const robust::Snapshot before = robust::Take(image);
    const HGLOBAL block = image.GetHandle();
    const BYTE* pixels = image.GetBuffer();
    int result = -1;
    bool triggered = false;
    {
      zt::FailNthAllocation fail(n);
      result = c.operation(image);
      triggered = fail.Triggered();
    }
    if (!triggered) {
      EXPECT_EQ(result, 1) << c.name;
      return n - 1;
    }
    EXPECT_EQ(result, 0) << c.name << ", allocation " << n;
    EXPECT_TRUE(robust::Take(image) == before) << c.name << ", allocation " << n;
    EXPECT_EQ(image.GetHandle(), block) << c.name;
    EXPECT_EQ(image.GetBuffer(), pixels) << c.name;
  }
  ADD_FAILURE() << c.name << " never completed";
  return -1;
}

TEST(MemoryFaults, TurnsAndRotationWithoutMemoryReturnZeroAndChangeNothing) {
  const std::vector<Case> cases = {
      // An 8-bit turn through a scratch image, and one whose rows need a
      // larger block (4 × 2 turned needs 16 bytes of rows, the block has 12).
      {"Left90 8-bit 37 x 11", 37, 11, 8, [](CImageDataModel& i) { return i.Left90(); }},
      {"Right90 8-bit 37 x 11", 37, 11, 8, [](CImageDataModel& i) { return i.Right90(); }},
      {"Left90 8-bit 4 x 2", 4, 2, 8, [](CImageDataModel& i) { return i.Left90(); }},
      {"Right90 8-bit 640 x 482", 640, 482, 8, [](CImageDataModel& i) { return i.Right90(); }},
      {"Left90 24-bit 13 x 5", 13, 5, 24, [](CImageDataModel& i) { return i.Left90(); }},
      {"Rotate 8-bit", 21, 17, 8, [](CImageDataModel& i) { return i.Rotate(37); }},
      {"Rotate 24-bit", 21, 17, 24, [](CImageDataModel& i) { return i.Rotate(-200); }},
  };
  for (const Case& c : cases) EXPECT_GE(RefuseEachAllocation(c), 1) << c.name;
}

// Operations that need no memory of their own succeed whatever is refused.
TEST(MemoryFaults, InPlaceOperationsNeedNoMemory) {
  const std::vector<Case> cases = {
      {"Flip", 9, 7, 8, [](CImageDataModel& i) { return i.Flip(); }},
      {"Mirror", 9, 7, 24, [](CImageDataModel& i) { return i.Mirror(); }},
      {"Left90 square", 9, 9, 8, [](CImageDataModel& i) { return i.Left90(); }},
      {"Edge", 9, 7, 24, [](CImageDataModel& i) { return i.Edge(); }},
      {"Shrink", 9, 7, 8, [](CImageDataModel& i) { return i.Shrink(); }},
      {"RemoveNoise", 9, 7, 8, [](CImageDataModel& i) { return i.RemoveNoise(3, 3, 4, 3); }},
  };
  for (const Case& c : cases) EXPECT_EQ(RefuseEachAllocation(c), 0) << c.name;
}

}  // namespace
