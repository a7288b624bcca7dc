// Line drawing: the pixel lists in every direction, clipping, minor
// coordinates below −0.5, agreement with the walk written with float
// coordinates on both axes, and lines with extreme end points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <utility>

#include "ImageDataModel.h"
#include "shape/FloatWalk.h"
#include "support/TestSupport.h"

namespace shape = zentrel::detail::shape;

namespace {

using Pixels = std::set<std::pair<int, int>>;
constexpr COLORREF kInk = RGB(255, 255, 255);

/// The pixels a line sets in a black 24-bit image.
Pixels Draw(CPoint p1, CPoint p2, int width = 12, int height = 12) {
  CImageDataModel image;
  zt::MakeImage(image, width, height, 24);
  image.DDALine(p1, p2, kInk);
  Pixels drawn;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (image.GetPixel(x, y) == kInk) drawn.insert({x, y});
  return drawn;
}

/// The walk written plainly: a float major coordinate (exact within ±2^24)
/// or, with carried = true, the minor one taken to the image by AdvanceMinor.
Pixels PlainWalk(CPoint p1, CPoint p2, int width, int height, bool carried = false) {
  const std::int64_t dx = std::int64_t{p2.x} - p1.x, dy = std::int64_t{p2.y} - p1.y;
  const double m = dx == 0 ? INFINITY : std::fabs(static_cast<double>(dy) / dx);
  const bool xAxis = m <= 1.0 || dy == 0;
  const bool rises = xAxis ? p1.y <= p2.y : p1.x <= p2.x;
  const double step = (xAxis ? m : 1.0 / m) * (rises ? 1 : -1);
  double major = xAxis ? p1.x : p1.y;
  const double end = xAxis ? p2.x : p2.y, unit = major <= end ? 1 : -1;
  float minor = static_cast<float>(xAxis ? p1.y : p1.x);
  const int size = xAxis ? width : height;
  const double entry = unit > 0 ? 0 : size - 1;  // the image's first row or column
  if (carried && (entry - major) * unit > 0) {
    const double skip = std::fmin(std::fabs(entry - major), std::fabs(end - major));
    minor = shape::AdvanceMinor(minor, step, static_cast<std::uint64_t>(skip));
    major += unit * skip;
  }
  Pixels out;
  for (float f = static_cast<float>(major); unit > 0 ? f <= end : f >= end; f += unit) {
    const double v = static_cast<double>(minor) + 0.5;
    const int across = static_cast<int>(v), along = static_cast<int>(f);
    if (f >= 0 && v >= 0 && along < size && across < (xAxis ? height : width))
      out.insert(xAxis ? std::make_pair(along, across) : std::make_pair(across, along));
    if (carried && (f < 0 || along >= size)) break;  // past the image
    minor = static_cast<float>(static_cast<double>(minor) + step);
  }
  return out;
}

TEST(LineDrawing, PixelListsInEveryDirection) {
  const Pixels shallow = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
  EXPECT_EQ(Draw({0, 0}, {5, 2}), shallow);
  EXPECT_EQ(Draw({5, 2}, {0, 0}), shallow);
  EXPECT_EQ(Draw({0, 0}, {2, 1}), (Pixels{{0, 0}, {1, 1}, {2, 1}}));  // halves round up
  EXPECT_EQ(Draw({0, 1}, {2, 0}), (Pixels{{0, 1}, {1, 1}, {2, 0}}));
  EXPECT_EQ(Draw({2, 0}, {0, 1}), (Pixels{{2, 0}, {1, 1}, {0, 1}}));
  const Pixels steep = {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}};
  EXPECT_EQ(Draw({0, 0}, {2, 5}), steep);
  EXPECT_EQ(Draw({2, 5}, {0, 0}), steep);
  EXPECT_EQ(Draw({0, 0}, {3, 3}), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(Draw({3, 0}, {0, 3}), (Pixels{{3, 0}, {2, 1}, {1, 2}, {0, 3}}));
  const Pixels column = {{1, 1}, {1, 2}, {1, 3}, {1, 4}};
  EXPECT_EQ(Draw({1, 1}, {1, 4}), column);
  EXPECT_EQ(Draw({1, 4}, {1, 1}), column);
  EXPECT_EQ(Draw({3, 3}, {3, 3}), (Pixels{{3, 3}}));
}

TEST(LineDrawing, ClippedAtTheEdgesAndBelowMinusHalf) {
  EXPECT_EQ(Draw({9, 10}, {15, 13}), (Pixels{{9, 10}, {10, 11}, {11, 11}}));
  EXPECT_EQ(Draw({-5, 2}, {3, 2}), (Pixels{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
  EXPECT_EQ(Draw({-3, 3}, {-3, 3}), Pixels());
  // The minor coordinate runs −2, −1.75, ... 0: from −0.5 on it reaches row
  // 0; −1.25 .. −0.75 are left out rather than folded onto it.
  EXPECT_EQ(Draw({0, -2}, {8, 0}), (Pixels{{6, 0}, {7, 0}, {8, 0}}));
  EXPECT_EQ(Draw({8, 0}, {0, -2}), (Pixels{{6, 0}, {7, 0}, {8, 0}}));
  EXPECT_EQ(Draw({-2, 0}, {0, 8}), (Pixels{{0, 6}, {0, 7}, {0, 8}}));
}

// line-integer-walk: within ±2^24 the integer walk sets the pixels of the
// float walk, also after nearly 2^24 steps off the image taken at once.
TEST(LineDrawing, LineIntegerWalkAgreesWithTheFloatWalk) {
  std::mt19937 random(63);
  for (int trial = 0; trial < 2000; ++trial) {
    std::uniform_int_distribution<int> c(trial < 1800 ? -40 : -5000, trial < 1800 ? 40 : 5000);
    const CPoint p1(c(random), c(random)), p2(c(random), c(random));
    ASSERT_EQ(Draw(p1, p2, 30, 20), PlainWalk(p1, p2, 30, 20))
        << p1.x << "," << p1.y << " to " << p2.x << "," << p2.y;
  }
  // Nearly 2^24 steps before the image, where the float walk stalls away
  // from the exact line (row 32 instead of 30): the carried coordinate must
  // be exact. (At 2^24 a float major coordinate would stop counting.)
  const int far = (1 << 24) - 1;
  for (auto line : {std::make_pair(CPoint(-far, 0), CPoint(47, 30)),
                    std::make_pair(CPoint(-far, 35), CPoint(47, 2)),
                    std::make_pair(CPoint(0, -far), CPoint(30, 47)),
                    std::make_pair(CPoint(far, -9), CPoint(-far, 60))}) {
    const Pixels drawn = Draw(line.first, line.second, 48, 40);
    EXPECT_GE(drawn.size(), 40u);
    EXPECT_EQ(drawn, PlainWalk(line.first, line.second, 48, 40));
  }
}

// line-integer-walk: lines across the whole 32-bit range, where a float
// major coordinate stops advancing, end and carry the minor coordinate.
TEST(LineDrawing, LineIntegerWalkExtremeEndPointsFinishAndCarryTheCoordinate) {
  const LONG lo = INT32_MIN, hi = INT32_MAX;
  Pixels row;  // a step far below the float unit of 100
  for (int x = 0; x < 50; ++x) row.insert({x, 100});
  EXPECT_EQ(Draw({lo, 100}, {hi, 0}, 50, 120), row);
  EXPECT_EQ(Draw({hi, lo}, {lo, hi}, 30, 30), Pixels());  // −2^31 + 1 rounds back
  // The coordinate climbs from 0 until its steps round away, then stays.
  for (auto line : {std::make_pair(CPoint(lo, 0), CPoint(hi, 1000)),
                    std::make_pair(CPoint(hi, 0), CPoint(lo, 37)),
                    std::make_pair(CPoint(0, lo), CPoint(1000, hi)),
                    std::make_pair(CPoint(5, hi), CPoint(-123, lo))}) {
    const Pixels drawn = Draw(line.first, line.second, 64, 64);
    EXPECT_EQ(drawn.size(), 64u);
    EXPECT_EQ(drawn, PlainWalk(line.first, line.second, 64, 64, true));
  }
}

}  // namespace
