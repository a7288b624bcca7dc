// Shape recognition: the rectangle and circle tests at their boundaries,
// what each writes and when, coinciding points, and coordinates at the ends
// of the 32-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "ImageDataModel.h"

namespace {

using Points = std::vector<POINT>;
using Result = std::tuple<int, int, LONG, LONG>;  // result, size, centre x, centre y
constexpr LONG kMax = INT32_MAX, kMin = INT32_MIN;
constexpr int kUntouched = -99;  // size and centre x and y before the call

const Points kCircle = {{60, 50}, {59, 55}, {55, 59}, {50, 60}, {45, 59}, {41, 55},
                        {40, 50}, {41, 45}, {45, 41}, {50, 40}, {55, 41}, {59, 45}};
const Points kEight = {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {5, 10}, {0, 10}, {0, 5}};

enum Kind { kRectangle, kCircleTest, kEither };

Result Classify(Kind test, const Points& p, int precision = 20) {
  CImageDataModel model;
  model.SetPrecision(precision);
  int size = kUntouched;
  POINT centre{kUntouched, kUntouched};
  const int n = static_cast<int>(p.size());
  const int result = test == kRectangle    ? model.IsRectangle(n, p.data(), size, centre)
                     : test == kCircleTest ? model.IsCircle(n, p.data(), size, centre)
                                           : model.CircleOrRectangle(n, p.data(), size, centre);
  return {result, size, centre.x, centre.y};
}

TEST(ShapeRecognition, RectangleRatioLengthAndExtent) {
  EXPECT_EQ(Classify(kRectangle, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}),
            Result(1, 10, 4, 4));
  // Ratio 2.683 passes, 2.666 fails: centre reset, size not written.
  EXPECT_EQ(Classify(kRectangle, {{0, 0}, {20, 0}, {20, 10}, {0, 10}, {0, 0}}),
            Result(1, 15, 8, 4));
  EXPECT_EQ(Classify(kRectangle, {{0, 0}, {21, 0}, {21, 10}, {0, 10}, {0, 0}}),
            Result(0, kUntouched, 0, 0));
  // No closing segment: the open circle has ratio 2.832.
  EXPECT_EQ(Classify(kRectangle, kCircle), Result(1, 14, 50, 50));
  // The last point is left out of the extent (2.902; with it 2.639).
  EXPECT_EQ(Classify(kRectangle, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {-1, -1}}),
            Result(1, 10, 3, 3));
}

TEST(ShapeRecognition, RectangleRefusesShortNullAndCoincidingLists) {
  EXPECT_EQ(Classify(kRectangle, {{0, 0}, {10, 0}, {10, 10}}),
            Result(0, kUntouched, kUntouched, kUntouched));
  CImageDataModel model;
  int size = kUntouched;
  POINT centre{kUntouched, kUntouched};
  EXPECT_EQ(model.IsRectangle(5, nullptr, size, centre), 0);
  EXPECT_EQ(Result(0, size, centre.x, centre.y), Result(0, kUntouched, kUntouched, kUntouched));
  // All points equal: not a rectangle, centre reset. Only the last one
  // differing: no extent, infinite ratio.
  EXPECT_EQ(Classify(kRectangle, Points(7, POINT{7, 7})), Result(0, kUntouched, 0, 0));
  EXPECT_EQ(Classify(kRectangle, {{3, 3}, {3, 3}, {3, 3}, {9, 9}}), Result(0, kUntouched, 0, 0));
}

TEST(ShapeRecognition, LongOutlinesAreMeasuredOverTheHull) {
  Points square;  // 161 points: the extent is measured over the hull
  for (int i = 0; i < 160; ++i) {
    const int side = i / 40, t = i % 40;
    const int x[] = {t, 40, 40 - t, 0}, y[] = {0, t, 40, 40 - t};
    square.push_back({1000 + x[side], 2000 + y[side]});
  }
  square.push_back({1000, 2000});
  EXPECT_EQ(Classify(kRectangle, square), Result(1, 40, 1019, 2019));
}

// shape-sums-64bit: coordinate sums and squared distances at the ends of the
// 32-bit range do not overflow, and a size beyond the int range saturates.
TEST(ShapeRecognition, ShapeSums64bitExtremeCoordinates) {
  // Length / 4 of 2^32 − 1 saturates; the mean is exact.
  const LONG mean = static_cast<LONG>((3 * std::int64_t{kMin} + 2 * std::int64_t{kMax}) / 5);
  EXPECT_EQ(
      Classify(kRectangle, {{kMin, kMin}, {kMax, kMin}, {kMax, kMax}, {kMin, kMax}, {kMin, kMin}}),
      Result(1, INT32_MAX, mean, mean));
  Points huge;
  for (const POINT& p : kEight) huge.push_back({(p.x - 5) / 5 * kMax, (p.y - 5) / 5 * kMax});
  EXPECT_EQ(Classify(kCircleTest, huge, 40), Result(1, INT32_MAX, 0, 0));
  Points low;
  for (const POINT& p : kCircle) low.push_back({kMin + p.x, kMin + p.y});
  EXPECT_EQ(Classify(kCircleTest, low), Result(1, 10, kMin + 50, kMin + 50));
}

TEST(ShapeRecognition, CircleToleranceFollowsPrecisionAndAlwaysWrites) {
  EXPECT_EQ(Classify(kCircleTest, kCircle), Result(1, 10, 50, 50));
  EXPECT_EQ(Classify(kEither, kCircle), Result(1, 10, 50, 50));
  // Spread 0.343: outputs written whatever the outcome.
  EXPECT_EQ(Classify(kCircleTest, kEight, 20), Result(0, 6, 5, 5));
  EXPECT_EQ(Classify(kCircleTest, kEight, 34), Result(0, 6, 5, 5));
  EXPECT_EQ(Classify(kCircleTest, kEight, 35), Result(1, 6, 5, 5));
  EXPECT_EQ(Classify(kCircleTest, kEight, 40), Result(1, 6, 5, 5));
}

TEST(ShapeRecognition, DegenerateShortAndMixedLists) {
  EXPECT_EQ(Classify(kCircleTest, Points(6, POINT{kMax, kMin})),
            Result(-1, kUntouched, kUntouched, kUntouched));
  EXPECT_EQ(Classify(kEither, Points(6, POINT{3, 4})),
            Result(1, kUntouched, kUntouched, kUntouched));
  const Points five = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  EXPECT_EQ(Classify(kCircleTest, five), Result(0, kUntouched, kUntouched, kUntouched));
  EXPECT_EQ(Classify(kEither, five), Result(2, 10, 4, 4));
  Points closed = kEight;  // the circle fails (0.307), the rectangle passes
  closed.push_back({0, 0});
  EXPECT_EQ(Classify(kEither, closed), Result(2, 10, 4, 4));
  // Neither: size keeps the failed circle's radius, the centre is reset.
  EXPECT_EQ(Classify(kEither, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}),
            Result(0, 2, 0, 0));
}

}  // namespace
