// Point-list compression: straight, cornered and stair-step lists, the two
// thresholds at their edges, short and degenerate lists, and coordinates
// near the limits of 32 bits.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "vector/VectorTestSupport.h"

namespace {

using vt::Pt;

// Compresses pairs; checks that entries 0..n−1 stay and n, n + 1 repeat the
// last point, and that nothing beyond the returned count is written.
std::vector<Pt> Compress(const std::vector<Pt>& input) {
  const short n = static_cast<short>(input.size());
  std::vector<POINT> points = vt::ToPoints(input);
  points.resize(points.size() + 2, POINT{-5, -5});
  std::vector<POINT> kept(input.size() + 1, POINT{-9, -9});
  const short count = vt::Tracer().VecCompress(points.data(), n, kept.data());
  EXPECT_GE(count, 0);
  EXPECT_LE(count, n);
  EXPECT_EQ(vt::ToPairs(points.data(), n), input);
  if (n >= 5) {
    for (int i : {int(n), n + 1}) EXPECT_EQ(Pt(points[i].x, points[i].y), input.back()) << i;
  }
  for (std::size_t i = count; i < kept.size(); ++i) EXPECT_EQ(kept[i].x, -9) << i;
  return vt::ToPairs(kept.data(), count);
}

TEST(Compress, StraightRunShrinksToItsEnds) {
  std::vector<Pt> line;
  for (int x = 0; x < 10; ++x) line.emplace_back(x, 0);
  EXPECT_EQ(Compress(line), (std::vector<Pt>{{0, 0}, {9, 0}}));
  std::vector<Pt> diagonal;
  for (int i = 0; i < 10; ++i) diagonal.emplace_back(i, -i);
  EXPECT_EQ(Compress(diagonal), (std::vector<Pt>{{0, 0}, {9, -9}}));
}

TEST(Compress, CornerIsKept) {
  std::vector<Pt> ell;
  for (int x = 0; x <= 5; ++x) ell.emplace_back(x, 0);
  for (int y = 1; y <= 5; ++y) ell.emplace_back(5, y);
  EXPECT_EQ(Compress(ell), (std::vector<Pt>{{0, 0}, {5, 0}, {5, 5}}));
}

TEST(Compress, StairStepsAreThinnedBySpacing) {
  const std::vector<Pt> stairs{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2},
                               {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}};
  EXPECT_EQ(Compress(stairs), (std::vector<Pt>{{0, 0}, {3, 1}, {6, 3}, {9, 4}}));
}

TEST(Compress, SpacingOfExactlyThreeKeepsThePoint) {
  // The corner (3, 0) lies exactly 3.0 from the first point.
  const std::vector<Pt> ell{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1},
                            {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}};
  EXPECT_EQ(Compress(ell), (std::vector<Pt>{{0, 0}, {3, 0}, {3, 6}}));
  // A corner 2.0 from the first point is dropped however sharp it is.
  const std::vector<Pt> shortEll{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}};
  EXPECT_EQ(Compress(shortEll), (std::vector<Pt>{{0, 0}, {2, 5}}));
}

TEST(Compress, CurvatureThresholdAtTheFirstPoint) {
  // At the first point (the origin) the measure is |8·p1 + p2| / 36:
  // (6, 0) gives 0.1667 and (5, 3) 0.1620, kept; (4, 4) gives 0.1571 and
  // (5, 2) 0.1496, dropped.
  struct Case {
    Pt p1, p2;
    bool kept;
  };
  for (const Case& c : {Case{{1, 0}, {-2, 0}, true}, Case{{1, 0}, {-3, 3}, true},
                        Case{{1, 1}, {-4, -4}, false}, Case{{1, 0}, {-3, 2}, false}}) {
    const std::vector<Pt> list{{0, 0}, c.p1, c.p2, c.p2, c.p2, c.p2};
    const std::vector<Pt> kept = Compress(list);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.front() == Pt(0, 0), c.kept) << c.p2.first << "," << c.p2.second;
  }
}

TEST(Compress, MeasureWeighsTwoNeighboursOnEachSide) {
  // (3, 2) measures √26 / 36 = 0.142 from (1, 1), (0, 2), (5, 2), (8, 4) and
  // is dropped; taking any other neighbour in their place keeps it instead
  // of (5, 2).
  EXPECT_EQ(Compress({{0, 0}, {1, 1}, {0, 2}, {3, 2}, {5, 2}, {8, 4}, {8, 4}}),
            (std::vector<Pt>{{0, 0}, {5, 2}, {8, 4}}));
}

TEST(Compress, ShortAndDegenerateLists) {
  const std::vector<Pt> same4(4, Pt(3, 3));
  EXPECT_EQ(Compress(same4), same4);
  const std::vector<Pt> three{{0, 0}, {100, 5}, {-4, 2}};
  EXPECT_EQ(Compress(three), three);
  EXPECT_TRUE(Compress(std::vector<Pt>(6, Pt(7, -2))).empty());

  vt::Tracer tracer;
  POINT points[4] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  POINT kept[2] = {{-9, -9}, {-9, -9}};
  EXPECT_EQ(tracer.VecCompress(points, 0, kept), 0);
  EXPECT_EQ(tracer.VecCompress(points, -3, kept), -3);
  EXPECT_EQ(kept[0].x, -9);
  EXPECT_EQ(points[0].x, 1);
}

// compress-null-list: a null list (or kept buffer) with a positive count
// gives 0 and writes nothing, not even the list's two entries past n.
TEST(Compress, CompressNullListReturnsZero) {
  vt::Tracer tracer;
  std::vector<Pt> list;
  for (int i = 0; i < 300; ++i) list.emplace_back(i, i * i % 7);
  list.insert(list.end(), 2, Pt(-5, -5));
  std::vector<POINT> points = vt::ToPoints(list);
  std::vector<POINT> kept(300, POINT{-9, -9});
  for (short n : {1, 4, 5, 300}) {
    EXPECT_EQ(tracer.VecCompress(nullptr, n, kept.data()), 0) << n;
    EXPECT_EQ(tracer.VecCompress(points.data(), n, nullptr), 0) << n;
  }
  EXPECT_EQ(vt::ToPairs(points.data(), 302), list);
  EXPECT_EQ(vt::ToPairs(kept.data(), 300), std::vector<Pt>(300, Pt(-9, -9)));
}

// shape-sums-64bit: the curvature's pair sums and the spacing are formed
// from 64-bit values, so coordinates near the limits give the true result.
TEST(Compress, ShapeSums64bitCoordinatesNearTheLimitsDoNotOverflow) {
  std::vector<Pt> high, low;
  for (int i = 0; i < 10; ++i) {
    high.emplace_back(INT_MAX - 9 + i, INT_MAX - 9 + i);
    low.emplace_back(INT_MIN + 9 - i, INT_MIN);
  }
  EXPECT_EQ(Compress(high), (std::vector<Pt>{high.front(), high.back()}));
  EXPECT_EQ(Compress(low), (std::vector<Pt>{low.front(), low.back()}));
  // Kept points at opposite ends of the range: the spacing is about 2^32.
  EXPECT_EQ(Compress({{INT_MIN, 0}, {INT_MIN, 0}, {INT_MAX, 0}, {INT_MAX, 0}, {INT_MAX, 0}}),
            (std::vector<Pt>{{INT_MIN, 0}, {INT_MAX, 0}}));
}

}  // namespace
