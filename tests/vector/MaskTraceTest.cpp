// The mask tracer, its neighbour count and the thinning pass, on the traced
// squares, forks and open chains of the design notes and against a plain
// step-by-step model on random masks.
#include <gtest/gtest.h>

#include <vector>

#include "vector/VectorTestSupport.h"

namespace {

using vt::Pt;

struct Mask {
  Mask(int w, int h, BYTE fill = 0) : width(w), height(h), cells(std::size_t(w) * h, fill) {}
  BYTE& At(int x, int y) { return cells[std::size_t(y) * width + x]; }
  BYTE* data() { return cells.data(); }
  int width, height;
  std::vector<BYTE> cells;
};

// Cells of mask that hold value, in raster order.
std::vector<Pt> CellsHolding(Mask& mask, BYTE value) {
  std::vector<Pt> out;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      if (mask.At(x, y) == value) out.emplace_back(x, y);
  return out;
}

std::vector<Pt> TraceMask(Mask& mask, int x, int y, int value, short* count = nullptr) {
  vt::Tracer tracer;
  std::vector<POINT> points(1600);
  const short n = tracer.VecTrace(x, y, mask.width, mask.height, points.data(), mask.data(), value);
  if (count) *count = n;
  return vt::ToPairs(points.data(), n);
}

TEST(MaskTrace, OpenChainLeavesItsLastCellMarked) {
  Mask mask(5, 5);
  mask.At(1, 2) = mask.At(2, 2) = mask.At(3, 2) = 1;
  EXPECT_EQ(TraceMask(mask, 1, 2, 1), (std::vector<Pt>{{1, 2}, {2, 2}}));
  EXPECT_EQ(CellsHolding(mask, 1), (std::vector<Pt>{{3, 2}}));
}

TEST(MaskTrace, SquareOutlineIsFollowedInTraceOrder) {
  Mask mask(7, 7);
  for (int i = 1; i <= 5; ++i) mask.At(i, 1) = mask.At(i, 5) = mask.At(1, i) = mask.At(5, i) = 1;
  EXPECT_EQ(TraceMask(mask, 3, 1, 1), (std::vector<Pt>{{3, 1},
                                                       {4, 1},
                                                       {5, 1},
                                                       {5, 2},
                                                       {5, 3},
                                                       {5, 4},
                                                       {5, 5},
                                                       {4, 5},
                                                       {3, 5},
                                                       {2, 5},
                                                       {1, 5},
                                                       {1, 4},
                                                       {1, 3},
                                                       {1, 2},
                                                       {1, 1}}));
  EXPECT_EQ(CellsHolding(mask, 1), (std::vector<Pt>{{2, 1}}));
}

TEST(MaskTrace, ForkTakesTheFirstDirectionInTraceOrder) {
  Mask mask(7, 5);
  for (int x = 1; x <= 5; ++x) mask.At(x, 2) = 1;
  mask.At(3, 3) = 1;
  EXPECT_EQ(TraceMask(mask, 1, 2, 1), (std::vector<Pt>{{1, 2}, {2, 2}, {3, 2}, {3, 3}, {4, 2}}));
  EXPECT_EQ(CellsHolding(mask, 1), (std::vector<Pt>{{5, 2}}));
}

TEST(MaskTrace, StartsThatCannotBeTracedWriteNothing) {
  Mask mask(6, 6);
  mask.At(2, 2) = 1;  // isolated
  EXPECT_TRUE(TraceMask(mask, 2, 2, 1).empty());
  EXPECT_EQ(mask.At(2, 2), 1);
  Mask full(6, 6, 1);
  for (const Pt& p : std::vector<Pt>{{0, 3}, {3, 0}, {5, 3}, {3, 5}, {-1, 3}, {3, 9}})
    EXPECT_TRUE(TraceMask(full, p.first, p.second, 1).empty()) << p.first << "," << p.second;
  vt::Tracer tracer;
  POINT points[1600];
  EXPECT_EQ(tracer.VecTrace(2, 2, 6, 6, points, nullptr, 1), 0);
  EXPECT_EQ(full.cells, std::vector<BYTE>(36, 1));
  Mask thin(2, 9, 1);  // no interior cell
  EXPECT_TRUE(TraceMask(thin, 1, 4, 1).empty());
}

TEST(MaskTrace, MarkValuesOutsideAByteMatchNothing) {
  Mask zeros(5, 5, 0), full(5, 5, 255);
  vt::Tracer tracer;
  for (int value : {256, -1}) {
    EXPECT_EQ(tracer.VecConnect(2, 2, 5, 5, zeros.data(), value), 0) << value;
    EXPECT_EQ(tracer.VecConnect(2, 2, 5, 5, full.data(), value), 0) << value;
    EXPECT_TRUE(TraceMask(zeros, 2, 2, value).empty()) << value;
  }
  EXPECT_EQ(tracer.VecConnect(2, 2, 5, 5, full.data(), 255), 8);
}

TEST(MaskTrace, FullBufferEndsTheTraceWithTheLastCellStillMarked) {
  Mask mask(2000, 3);
  for (int x = 1; x <= 1998; ++x) mask.At(x, 1) = 1;
  short count = 0;
  const std::vector<Pt> points = TraceMask(mask, 1, 1, 1, &count);
  ASSERT_EQ(count, 1600);
  EXPECT_EQ(points.front(), Pt(1, 1));
  EXPECT_EQ(points.back(), Pt(1600, 1));
  EXPECT_EQ(mask.At(1599, 1), 0);
  EXPECT_EQ(mask.At(1600, 1), 1);
  EXPECT_EQ(mask.At(1601, 1), 1);
}

TEST(MaskTrace, MarkZeroCanReturnToClearedCellsUntilTheBufferIsFull) {
  Mask mask(5, 5, 0);
  short count = 0;
  const std::vector<Pt> points = TraceMask(mask, 2, 2, 0, &count);
  ASSERT_EQ(count, 1600);
  for (int i = 0; i < count; ++i) EXPECT_EQ(points[i], i % 2 ? Pt(2, 3) : Pt(2, 2)) << i;
}

TEST(ThinEdge, WorksInPlaceSoEarlierClearingsCount) {
  Mask mask(5, 5, 1);
  for (int x = 0; x < 5; ++x) mask.At(x, 0) = 0;
  vt::Tracer().ThinEdge(5, 5, mask.data());
  EXPECT_EQ(CellsHolding(mask, 0),
            (std::vector<Pt>{
                {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {1, 1}, {2, 1}, {3, 1}, {2, 2}, {3, 2}}));
}

TEST(ThinEdge, FullMasksStayAndLoneCellsGo) {
  vt::Tracer tracer;
  Mask full(6, 4, 1);
  tracer.ThinEdge(6, 4, full.data());
  EXPECT_EQ(full.cells, std::vector<BYTE>(24, 1));
  Mask lone(5, 5, 0);
  lone.At(2, 2) = 9;
  tracer.ThinEdge(5, 5, lone.data());
  EXPECT_EQ(lone.cells, std::vector<BYTE>(25, 0));
  tracer.ThinEdge(5, 5, nullptr);  // nothing to do, no crash
}

// ---- Against a plain model that follows the steps one by one -----------

int ModelCount(const Mask& m, int x, int y, int value) {
  if (x < 1 || y < 1 || x >= m.width - 1 || y >= m.height - 1) return 0;
  int n = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if ((dx || dy) && m.cells[std::size_t(y + dy) * m.width + x + dx] == value) ++n;
  return n;
}

std::vector<Pt> ModelTrace(Mask& m, int x, int y, int value) {
  std::vector<Pt> points;
  if (x < 1 || y < 1 || x >= m.width - 1 || y >= m.height - 1) return points;
  for (;;) {
    if (ModelCount(m, x, y, value) == 0) return points;
    points.emplace_back(x, y);
    if (points.size() == 1600) return points;
    m.At(x, y) = 0;
    bool moved = false;
    for (int i = 0; i < 8 && !moved; ++i) {
      const int nx = x + vt::kOrderDx[i], ny = y + vt::kOrderDy[i];
      if (m.At(nx, ny) == value && ModelCount(m, nx, ny, value) >= 1) {
        x = nx, y = ny, moved = true;
      }
    }
    if (!moved) return points;
  }
}

void ModelThin(Mask& m) {
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x)
      if (ModelCount(m, x, y, 0) > 2) m.At(x, y) = 0;
}

TEST(MaskTrace, MatchesAStepByStepModelOnRandomMasks) {
  vt::Lcg random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 3 + random.Next(40), h = 3 + random.Next(40);
    const unsigned density = 1 + random.Next(9);  // tenths of cells marked
    Mask mask(w, h);
    for (BYTE& cell : mask.cells) cell = random.Next(10) < density ? 1 + random.Next(2) : 0;
    Mask model = mask;
    const int value = trial % 5 == 0 ? 0 : 1;
    for (int start = 0; start < 5; ++start) {
      const int x = random.Next(w), y = random.Next(h);
      ASSERT_EQ(TraceMask(mask, x, y, value), ModelTrace(model, x, y, value)) << trial;
      ASSERT_EQ(mask.cells, model.cells) << trial;
    }
    vt::Tracer().ThinEdge(w, h, mask.data());
    ModelThin(model);
    ASSERT_EQ(mask.cells, model.cells) << trial;
  }
}

}  // namespace
