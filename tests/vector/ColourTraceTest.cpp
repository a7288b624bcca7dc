// The colour tracer and its neighbour count: the match threshold, chains,
// turns, images on which a tracer without a visited record never ends, the
// point limit, out-of-memory, and a plain model with a std::set.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "support/AllocationFaults.h"
#include "support/TestSupport.h"
#include "vector/VectorTestSupport.h"

namespace {

using vt::Pt;

constexpr COLORREF kInk = RGB(200, 30, 30);
constexpr COLORREF kPaper = RGB(0, 0, 0);

// A 24-bit image of one colour.
void Fill(CImageDataModel& image, int w, int h, COLORREF colour) {
  zt::MakeImage(image, w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.SetPixel(x, y, colour);
}

void Draw(CImageDataModel& image, const std::vector<Pt>& cells, COLORREF colour = kInk) {
  for (const Pt& p : cells) image.SetPixel(p.first, p.second, colour);
}

std::vector<Pt> RowRun(int x0, int x1, int y) {  // a horizontal run, both ends included
  std::vector<Pt> out;
  for (int x = x0; x <= x1; ++x) out.emplace_back(x, y);
  return out;
}

struct Traced {
  short count;
  std::vector<Pt> points;
};

Traced TraceColour(vt::Tracer& image, int x, int y, COLORREF colour) {
  std::vector<POINT> points(16001, POINT{-7, -7});
  const short n = image.VecTrace(x, y, colour, points.data());
  EXPECT_EQ(points[16000].x, -7) << "wrote past the 16000 entries";
  return {n, vt::ToPairs(points.data(), n)};
}

// The plain model: every step as described, visited positions in a std::set.
struct ModelResult {
  std::vector<Pt> points;
  std::size_t entered = 0;
};

ModelResult ModelTrace(const CImageDataModel& image, int x, int y, COLORREF colour) {
  const int w = int(image.GetWidth()), h = int(image.GetHeight());
  const int threshold = int(image.GetPrecision() * 3.6);
  auto interior = [&](int px, int py) { return px >= 1 && py >= 1 && px <= w - 2 && py <= h - 2; };
  ModelResult result;
  if (image.IsEmpty() || !interior(x, y)) return result;
  std::set<Pt> entered{{x, y}};
  while (interior(x, y)) {
    bool match[8];
    int k = 0;
    for (int i = 0; i < 8; ++i) {
      match[i] = image.ColorDistance(x + vt::kOrderDx[i], y + vt::kOrderDy[i], colour) < threshold;
      k += match[i];
    }
    if (k == 0) break;
    if (k <= 2) {
      result.points.emplace_back(x, y);
      if (result.points.size() == 16000) break;
    }
    int next = -1;
    for (int i = 0; i < 8 && next < 0; ++i)
      if (match[i] && !entered.count(Pt(x + vt::kOrderDx[i], y + vt::kOrderDy[i]))) next = i;
    if (next < 0) break;
    x += vt::kOrderDx[next];
    y += vt::kOrderDy[next];
    entered.insert(Pt(x, y));
  }
  result.entered = entered.size();
  return result;
}

void ExpectDistinctInteriorPoints(const std::vector<Pt>& points, int w, int h) {
  std::set<Pt> seen;
  for (const Pt& p : points) {
    EXPECT_TRUE(seen.insert(p).second) << "recorded twice: " << p.first << "," << p.second;
    EXPECT_TRUE(p.first >= 1 && p.second >= 1 && p.first <= w - 2 && p.second <= h - 2);
  }
}

// A one-pixel-wide serpentine: runs along rows 2, 6, 10, … joined at
// alternate ends, spaced so that no two runs touch.
std::vector<Pt> Serpentine(int w, int h) {
  std::vector<Pt> cells;
  bool joinRight = true;
  for (int y = 2; y + 4 < h - 1; y += 4, joinRight = !joinRight) {
    const std::vector<Pt> run = RowRun(2, w - 3, y);
    cells.insert(cells.end(), run.begin(), run.end());
    for (int dy = 1; dy < 4; ++dy) cells.emplace_back(joinRight ? w - 3 : 2, y + dy);
  }
  return cells;
}

TEST(ColourConnect, ThresholdIsStrictAndFollowsThePrecision) {
  vt::Tracer image;
  Fill(image, 5, 5, kPaper);
  const COLORREF colour = RGB(100, 100, 100);
  image.SetPixel(2, 3, RGB(171, 100, 100));  // distance 71
  image.SetPixel(1, 3, RGB(100, 28, 100));   // distance 72
  EXPECT_EQ(image.VecConnect(2, 2, colour), 1);
  image.SetPrecision(25);  // threshold 90
  EXPECT_EQ(image.VecConnect(2, 2, colour), 2);
  image.SetPixel(2, 2, colour);  // the position itself never counts
  EXPECT_EQ(image.VecConnect(2, 2, colour), 2);
  for (const Pt& p : std::vector<Pt>{{0, 2}, {2, 0}, {4, 2}, {2, 4}, {-1, 2}, {2, 70000}})
    EXPECT_EQ(image.VecConnect(p.first, p.second, kPaper), 0) << p.first << "," << p.second;
  EXPECT_EQ(image.VecConnect(1, 1, kPaper), 7);
}

TEST(ColourConnect, EmptyAndReleasedRecordsHaveNoInteriorPositions) {
  vt::Tracer image;
  POINT points[16000];
  EXPECT_EQ(image.VecConnect(2, 2, 0), 0);
  EXPECT_EQ(image.VecTrace(2, 2, 0, points), 0);
  // A released record keeps its size; its absent pixels must not match.
  zt::MakeImage(image, 8, 8, 24);
  ASSERT_EQ(image.FreeImage(), 1);
  EXPECT_EQ(image.VecConnect(3, 3, 0), 0);
  EXPECT_EQ(image.VecTrace(3, 3, 0, points), 0);
}

// trace-null-points: both trace forms return 0 for a null point buffer, from
// starts they trace when given one; the mask form clears no cell.
TEST(ColourTrace, TraceNullPointsReturnsZeroInBothForms) {
  vt::Tracer image;
  Fill(image, 8, 8, kPaper);
  Draw(image, RowRun(2, 5, 3));
  EXPECT_EQ(image.VecTrace(2, 3, kInk, nullptr), 0);
  EXPECT_GT(TraceColour(image, 2, 3, kInk).count, 0);

  std::vector<BYTE> mask(36, 1);
  EXPECT_EQ(image.VecTrace(2, 2, 6, 6, nullptr, mask.data(), 1), 0);
  EXPECT_EQ(mask, std::vector<BYTE>(36, 1));
  POINT points[1600];
  EXPECT_GT(image.VecTrace(2, 2, 6, 6, points, mask.data(), 1), 0);
}

TEST(ColourTrace, OpenChainEndsAtItsEndInsteadOfSwinging) {
  vt::Tracer image;
  Fill(image, 11, 11, kPaper);
  Draw(image, RowRun(2, 8, 5));
  EXPECT_EQ(TraceColour(image, 2, 5, kInk).points, RowRun(2, 8, 5));
  EXPECT_EQ(TraceColour(image, 5, 5, kInk).points, RowRun(5, 8, 5));
}

TEST(ColourTrace, TurnWhereTheWayBackComesFirstGoesOn) {
  vt::Tracer image;
  Fill(image, 11, 11, kPaper);
  Draw(image, {{5, 8}, {5, 7}, {5, 6}, {5, 5}, {5, 4}, {5, 3}, {5, 2}, {6, 2}, {7, 2}, {8, 2}});
  // (5, 3) and (6, 2) have three matching neighbours and pass unrecorded.
  EXPECT_EQ(TraceColour(image, 5, 8, kInk).points,
            (std::vector<Pt>{{5, 8}, {5, 7}, {5, 6}, {5, 5}, {5, 4}, {5, 2}, {7, 2}, {8, 2}}));
}

TEST(ColourTrace, PathologicalImagesEndWithBoundedDistinctPoints) {
  struct Case {
    const char* name;
    int w, h, x, y;
  };
  for (const Case& c : {Case{"checkerboard", 200, 150, 100, 75}, Case{"spurs", 120, 40, 2, 20},
                        Case{"solid", 600, 600, 300, 300}, Case{"stripes", 300, 300, 150, 1}}) {
    SCOPED_TRACE(c.name);
    vt::Tracer image;
    Fill(image, c.w, c.h, std::string(c.name) == "solid" ? kInk : kPaper);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const std::string name = c.name;
        const bool ink = (name == "checkerboard" && (x + y) % 2 == 0) ||
                         (name == "spurs" && (y == 20 || (y == 19 && x % 3 == 0))) ||
                         (name == "stripes" && x % 2 == 0);
        if (ink) image.SetPixel(x, y, kInk);
      }
    const Traced traced = TraceColour(image, c.x, c.y, kInk);
    ExpectDistinctInteriorPoints(traced.points, c.w, c.h);
    EXPECT_EQ(traced.points, ModelTrace(image, c.x, c.y, kInk).points);
  }
}

TEST(ColourTrace, FullBufferEndsTheTraceAt16000) {
  vt::Tracer image;
  Fill(image, 300, 300, kPaper);
  Draw(image, Serpentine(300, 300));
  const Traced traced = TraceColour(image, 2, 2, kInk);
  const ModelResult model = ModelTrace(image, 2, 2, kInk);
  ASSERT_EQ(traced.count, 16000);
  EXPECT_EQ(traced.points, model.points);
  EXPECT_GT(model.entered, 2000u);  // far past the first tables of the visited record
}

TEST(ColourTrace, ClosedLoopsEndWhereTheyStarted) {
  // The trace comes back to its start after thousands of positions; the
  // visited record must still hold the first ones after growing (and, on
  // the smaller image, after turning into a bitmap).
  for (int side : {100, 3000}) {
    SCOPED_TRACE(side);
    vt::Tracer image;
    Fill(image, side, side, kPaper);
    const int lo = 9, hi = side - 10;
    std::vector<Pt> loop;
    for (int i = lo; i < hi; ++i)
      for (const Pt& p : std::vector<Pt>{{i, lo}, {hi, i}, {hi + lo - i, hi}, {lo, hi + lo - i}})
        loop.push_back(p);
    Draw(image, loop);
    const Traced traced = TraceColour(image, 17, lo, kInk);
    ExpectDistinctInteriorPoints(traced.points, side, side);
    // Every position but the two beside each corner has two neighbours.
    EXPECT_EQ(traced.count, static_cast<int>(loop.size()) - 8);
    EXPECT_EQ(traced.points, ModelTrace(image, 17, lo, kInk).points);
  }
}

TEST(ColourTrace, OutOfMemoryForTheVisitedRecordEndsWithAPrefix) {
  vt::Tracer image;
  Fill(image, 300, 300, kPaper);
  Draw(image, Serpentine(300, 300));
  const std::vector<Pt> full = TraceColour(image, 2, 2, kInk).points;
  std::size_t previous = 0;
  for (long n = 1; n <= 6; ++n) {
    std::vector<Pt> partial;
    {
      zt::FailNthAllocation fail(n);
      partial = TraceColour(image, 2, 2, kInk).points;
      if (!fail.Triggered()) break;  // the record needed fewer allocations
    }
    EXPECT_LT(partial.size(), full.size()) << n;
    EXPECT_GT(partial.size(), previous) << n;
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), full.begin())) << n;
    previous = partial.size();
  }
  EXPECT_GT(previous, 0u);
  EXPECT_EQ(TraceColour(image, 2, 2, kInk).points, full);
}

TEST(ColourTrace, RewrittenHeaderDepthReadsPixelsAsGetPixelDoes) {
  // A 24-bit block whose header a host rewrote to 8 bits has no colour
  // table of its own: its bytes index the bytes at the start of the pixels.
  vt::Tracer image;
  zt::MakeImage(image, 24, 24, 24);
  vt::Lcg random(3);
  BYTE* bits = image.GetBuffer();
  for (int i = 0; i < 24 * 72; ++i) bits[i] = static_cast<BYTE>(random.Next(4) * 60);
  image.GetBmh()->biBitCount = 8;
  for (int start = 0; start < 40; ++start) {
    const int x = random.Next(24), y = random.Next(24);
    const COLORREF colour = image.GetPixel(x, y);
    ASSERT_EQ(TraceColour(image, x, y, colour).points, ModelTrace(image, x, y, colour).points);
  }
}

TEST(ColourTrace, MatchesTheModelOnRandomImages) {
  vt::Lcg random(11);
  for (int trial = 0; trial < 40; ++trial) {
    vt::Tracer image;
    const int w = 3 + random.Next(80), h = 3 + random.Next(80);
    const int bits = trial % 2 ? 8 : 24;
    zt::MakeImage(image, w, h, bits);
    const COLORREF colours[3] = {RGB(10, 10, 10), RGB(40, 20, 10), RGB(200, 200, 200)};
    if (bits == 8)
      for (int i = 0; i < 3; ++i)
        image.GetPalette()[i] = RGBQUAD{BYTE(i * 20), 10, BYTE(i * 90), 0};
    const unsigned density = 3 + random.Next(6);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int c = random.Next(10) < density ? 0 : 1 + random.Next(2);
        if (bits == 8)
          zt::SetIndexAt(image, x, y, BYTE(c));
        else
          image.SetPixel(x, y, colours[c]);
      }
    image.SetPrecision(15 + random.Next(26));
    for (int start = 0; start < 6; ++start) {
      const int x = random.Next(w), y = random.Next(h);
      const COLORREF colour = bits == 8 ? image.GetPixel(x, y) : colours[random.Next(3)];
      ASSERT_EQ(TraceColour(image, x, y, colour).points, ModelTrace(image, x, y, colour).points)
          << trial << " " << x << "," << y;
    }
  }
}

}  // namespace
