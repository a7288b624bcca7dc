// Drawing synthetic sheets (every edge anti-aliased by 4 x 4 supersampling)
// and scoring the pipeline's shapes against them.
#include "TestSheet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ShapeFit.h"

namespace cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A small generator with the same sequence on every platform.
class Random {
 public:
  explicit Random(unsigned seed) : state_(0x9E3779B97F4A7C15ull ^ seed) { Next(); }
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform(double low, double high) {
    return low + (high - low) * static_cast<double>(Next() >> 11) / 9007199254740992.0;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

// Ink colours: buildings, water, parks, roads, lettering and speckle, red.
constexpr COLORREF kInks[] = {RGB(128, 84, 62), RGB(52, 96, 196), RGB(40, 140, 70),
                              RGB(96, 96, 100), RGB(25, 25, 25),  RGB(190, 40, 40)};
constexpr int kInkCount = 6;
constexpr int kRoadInk = 3, kTextInk = 4;
constexpr int kPaperShades = 8;  // colour-table entries 0..7
constexpr int kLevels = 16;      // coverage steps of each ink in the colour table

BYTE Mix(int paper, int ink, double share) {
  return static_cast<BYTE>(std::lround(paper + (ink - paper) * share));
}

COLORREF Blend(COLORREF under, COLORREF over, double share) {
  return RGB(Mix(GetRValue(under), GetRValue(over), share),
             Mix(GetGValue(under), GetGValue(over), share),
             Mix(GetBValue(under), GetBValue(over), share));
}

// The sheet's pixels, written by coverage of an ink.
class Canvas {
 public:
  Canvas(CImageDataModel& image, int bits, COLORREF paper)
      : image_(image), bits_(bits), paper_(paper) {}

  bool Prepare(int width, int height, Random& random) {
    if (!image_.IsEmpty()) image_.FreeImage();
    if (!image_.InitImage(width, height, bits_ == 24 ? 24 : 8)) return false;
    image_.SetBKColor(GetRValue(paper_), GetGValue(paper_), GetBValue(paper_));
    if (bits_ == 24) {
      for (int y = 0; y < height; ++y) {
        BYTE* row = Row(y);
        for (int x = 0; x < width; ++x) {
          const COLORREF c = Shade(random.Below(9) - 4);
          row[3 * x] = GetBValue(c);
          row[3 * x + 1] = GetGValue(c);
          row[3 * x + 2] = GetRValue(c);
        }
      }
      return true;
    }
    RGBQUAD* table = image_.GetPalette();
    auto put = [&](int i, COLORREF c) {
      table[i] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
    };
    if (bits_ == 1) {
      put(0, paper_);
      put(1, RGB(0, 0, 0));
      return true;  // the block is zero-filled: all paper
    }
    for (int s = 0; s < kPaperShades; ++s) put(s, Shade(s - kPaperShades / 2));
    for (int ink = 0; ink < kInkCount; ++ink)
      for (int level = 1; level <= kLevels; ++level)
        put(Index(ink, level), Blend(paper_, kInks[ink], static_cast<double>(level) / kLevels));
    for (int y = 0; y < height; ++y) {
      BYTE* row = Row(y);
      for (int x = 0; x < width; ++x) row[x] = static_cast<BYTE>(random.Below(kPaperShades));
    }
    return true;
  }

  void Cover(int x, int y, int ink, double coverage) {
    if (x < 0 || y < 0 || x >= static_cast<int>(image_.GetWidth()) ||
        y >= static_cast<int>(image_.GetHeight()) || coverage <= 0)
      return;
    BYTE* row = Row(y);
    if (bits_ == 24) {
      BYTE* p = row + 3 * x;
      const COLORREF c = Blend(RGB(p[2], p[1], p[0]), kInks[ink], std::min(coverage, 1.0));
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    } else if (bits_ == 1) {
      if (coverage >= 0.5) row[x] = 1;
    } else {
      const int level = static_cast<int>(std::lround(std::min(coverage, 1.0) * kLevels));
      if (level == 0) return;
      const int was = row[x] < kPaperShades ? 0 : (row[x] - kPaperShades) % kLevels + 1;
      if (level > was) row[x] = static_cast<BYTE>(Index(ink, level));
    }
  }

 private:
  static int Index(int ink, int level) { return kPaperShades + ink * kLevels + level - 1; }
  BYTE* Row(int y) const {
    return image_.GetBuffer() +
           static_cast<std::size_t>(image_.GetLineBytes()) *
               (static_cast<std::size_t>(image_.GetHeight()) - 1 - static_cast<std::size_t>(y));
  }
  // Paper with a little scanner noise, all of it within the background test.
  COLORREF Shade(int delta) const {
    auto ch = [&](int v) { return static_cast<BYTE>(std::clamp(v + delta, 0, 255)); };
    return RGB(ch(GetRValue(paper_)), ch(GetGValue(paper_)), ch(GetBValue(paper_)));
  }

  CImageDataModel& image_;
  int bits_;
  COLORREF paper_;
};

// Paints the pixels of a box with the share of 4 x 4 samples inside.
template <class Inside>
void Paint(Canvas& canvas, int ink, double left, double top, double right, double bottom,
           Inside inside) {
  for (int y = static_cast<int>(std::floor(top)); y <= static_cast<int>(std::ceil(bottom)); ++y)
    for (int x = static_cast<int>(std::floor(left)); x <= static_cast<int>(std::ceil(right)); ++x) {
      int hits = 0;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
          hits += inside(x + (j + 0.5) / 4 - 0.5, y + (i + 0.5) / 4 - 0.5);
      canvas.Cover(x, y, ink, hits / 16.0);
    }
}

// A straight stroke with round ends: a road segment or part of a letter.
struct Stroke {
  double x1, y1, x2, y2, half;
  double Distance(double x, double y) const {
    const double dx = x2 - x1, dy = y2 - y1, len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((x - x1) * dx + (y - y1) * dy) / len2, 0.0, 1.0) : 0;
    return Length(x - (x1 + t * dx), y - (y1 + t * dy));
  }
};

void PaintStroke(Canvas& canvas, int ink, const Stroke& s) {
  const double m = s.half + 1;
  Paint(canvas, ink, std::min(s.x1, s.x2) - m, std::min(s.y1, s.y2) - m, std::max(s.x1, s.x2) + m,
        std::max(s.y1, s.y2) + m, [&](double x, double y) { return s.Distance(x, y) <= s.half; });
}

// How far a point lies outside a drawn shape (negative inside).
double Outside(const DrawnShape& d, double x, double y) {
  if (d.kind == 1) return Length(x - d.cx, y - d.cy) - d.radius;
  const double c = std::cos(d.angle), s = std::sin(d.angle);
  const double u = std::abs((x - d.cx) * c + (y - d.cy) * s) - d.length / 2;
  const double v = std::abs(-(x - d.cx) * s + (y - d.cy) * c) - d.width / 2;
  if (u <= 0 && v <= 0) return std::max(u, v);
  return Length(std::max(u, 0.0), std::max(v, 0.0));
}

double Reach(const DrawnShape& d) { return d.kind == 1 ? d.radius : Length(d.length, d.width) / 2; }

bool Touches(const DrawnShape& d, const Stroke& s, double margin) {
  const double reach = Reach(d) + s.half + margin;
  if (std::min(s.x1, s.x2) > d.cx + reach || std::max(s.x1, s.x2) < d.cx - reach ||
      std::min(s.y1, s.y2) > d.cy + reach || std::max(s.y1, s.y2) < d.cy - reach)
    return false;
  if (s.Distance(d.cx, d.cy) > reach) return false;
  const double len = Length(s.x2 - s.x1, s.y2 - s.y1);
  const int steps = std::max(1, static_cast<int>(len * 2));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    if (Outside(d, s.x1 + t * (s.x2 - s.x1), s.y1 + t * (s.y2 - s.y1)) < s.half + margin)
      return true;
  }
  return false;
}

void PaintShape(Canvas& canvas, int ink, const DrawnShape& d) {
  const double r = Reach(d) + 1;
  Paint(canvas, ink, d.cx - r, d.cy - r, d.cx + r, d.cy + r, [&](double x, double y) {
    if (Outside(d, x, y) > 0) return false;
    return d.inner <= 0 || Length(x - d.cx, y - d.cy) >= d.inner;
  });
}

DrawnShape RandomShape(Random& random) {
  DrawnShape d;
  const int pick = random.Below(10);
  if (pick < 5) {  // a rectangle, up to 2 : 1, any rotation
    d.kind = 2;
    d.width = random.Uniform(14, 48);
    d.length = d.width * random.Uniform(1.0, 2.0);
    d.angle = random.Uniform(0, kPi);
  } else {  // a disc, or a ring
    d.kind = 1;
    d.radius = random.Uniform(7, 36);
    if (pick >= 8 && d.radius >= 12) d.inner = d.radius - random.Uniform(3, d.radius / 3);
  }
  return d;
}

// Lettering: runs of small marks built from strokes between the nodes of a
// 3 x 5 grid, about 10 pixels high.
std::vector<Stroke> RandomWord(Random& random, int width, int height) {
  static const int kSegments[][4] = {{0, 0, 2, 0}, {0, 2, 2, 2}, {0, 4, 2, 4}, {0, 0, 0, 2},
                                     {0, 2, 0, 4}, {2, 0, 2, 2}, {2, 2, 2, 4}, {0, 0, 2, 4},
                                     {0, 4, 2, 0}, {1, 0, 1, 4}, {0, 4, 1, 0}, {1, 0, 2, 4}};
  const double scale = random.Uniform(1.8, 2.4), half = random.Uniform(0.6, 0.9);
  const int letters = 3 + random.Below(6);
  double x = random.Uniform(10, width - 10 - letters * 3.5 * scale);
  const double y = random.Uniform(10, height - 10 - 4 * scale);
  std::vector<Stroke> strokes;
  for (int l = 0; l < letters; ++l, x += 3.5 * scale) {
    const int count = 2 + random.Below(3);
    for (int k = 0; k < count; ++k) {
      const int* s = kSegments[random.Below(12)];
      strokes.push_back(
          Stroke{x + s[0] * scale, y + s[1] * scale, x + s[2] * scale, y + s[3] * scale, half});
    }
  }
  return strokes;
}

// A road: a polyline of a few long legs from one side of the sheet.
std::vector<Stroke> RandomRoad(Random& random, int width, int height) {
  const double half = random.Uniform(1.0, 3.0);
  double x = random.Uniform(0, width), y = 0, heading = random.Uniform(0.3, kPi - 0.3);
  if (random.Below(2)) {
    x = 0;
    y = random.Uniform(0, height);
    heading = random.Uniform(-1.2, 1.2);
  }
  std::vector<Stroke> legs;
  const double leg = (width + height) / 6.0;
  for (int i = 0; i < 6; ++i) {
    const double nx = x + leg * std::cos(heading), ny = y + leg * std::sin(heading);
    legs.push_back(Stroke{x, y, nx, ny, half});
    x = nx;
    y = ny;
    heading += random.Uniform(-0.6, 0.6);
  }
  return legs;
}

}  // namespace

const std::vector<SheetKind>& SheetKinds() {
  static const std::vector<SheetKind> kinds = {
      {"white 1-bit", 1, RGB(255, 255, 255)},
      {"white 8-bit", 8, RGB(255, 255, 255)},
      {"cream 8-bit", 8, RGB(244, 236, 212)},
      {"grey 8-bit", 8, RGB(196, 196, 192)},
      {"white 24-bit", 24, RGB(255, 255, 255)},
      {"cream 24-bit", 24, RGB(244, 236, 212)},
      {"grey 24-bit", 24, RGB(196, 196, 192)},
      // The library's default background colour: sheets the tool reads
      // without being told their paper colour.
      {"default 8-bit", 8, RGB(235, 235, 235)}};
  return kinds;
}

std::vector<DrawnShape> MakeTestSheet(const TestSheetPlan& plan, CImageDataModel& sheet) {
  Random random(plan.seed);
  Canvas canvas(sheet, plan.bits, plan.bits == 1 ? RGB(255, 255, 255) : plan.paper);
  if (!canvas.Prepare(plan.width, plan.height, random)) return {};

  // Shapes, none touching another.
  std::vector<DrawnShape> shapes;
  for (long long tries = 0;
       static_cast<int>(shapes.size()) < plan.shapes && tries < plan.shapes * 50LL; ++tries) {
    DrawnShape d = RandomShape(random);
    const double r = Reach(d) + 4;
    if (2 * r >= plan.width || 2 * r >= plan.height) continue;
    d.cx = random.Uniform(r, plan.width - r);
    d.cy = random.Uniform(r, plan.height - r);
    bool free = true;
    for (const DrawnShape& o : shapes) {
      const double apart = Reach(o) + Reach(d) + 4;
      if (std::abs(o.cx - d.cx) > apart || std::abs(o.cy - d.cy) > apart) continue;
      if (Length(o.cx - d.cx, o.cy - d.cy) <= apart) {
        free = false;
        break;
      }
    }
    if (free) shapes.push_back(d);
  }
  for (std::size_t i = 0; i < shapes.size(); ++i)
    PaintShape(canvas, static_cast<int>(i % 3), shapes[i]);

  // Roads and lettering over them. A shape they come within three pixels
  // of is not clear: anti-aliasing and the speckle filter can close a gap
  // of one or two pixels.
  std::vector<Stroke> marks;
  for (int i = 0; i < plan.roads; ++i)
    for (const Stroke& s : RandomRoad(random, plan.width, plan.height)) {
      PaintStroke(canvas, kRoadInk, s);
      marks.push_back(s);
    }
  for (int i = 0; i < plan.words; ++i)
    for (const Stroke& s : RandomWord(random, plan.width, plan.height)) {
      PaintStroke(canvas, kTextInk, s);
      marks.push_back(s);
    }
  for (DrawnShape& d : shapes)
    for (const Stroke& s : marks)
      if (d.clear && Touches(d, s, 3.0)) d.clear = false;

  // Speckle: mostly single pixels, some two-by-two dots.
  const long specks = std::lround(plan.speckle * plan.width * plan.height);
  for (long i = 0; i < specks; ++i) {
    const int x = random.Below(plan.width), y = random.Below(plan.height);
    const int size = random.Below(10) == 0 ? 2 : 1;
    for (int dy = 0; dy < size; ++dy)
      for (int dx = 0; dx < size; ++dx) canvas.Cover(x + dx, y + dy, kTextInk, 1.0);
  }
  return shapes;
}

ShapeScore ScoreShapes(const VectorizeResult& result, const std::vector<DrawnShape>& drawn) {
  ShapeScore score;
  std::vector<bool> found(drawn.size(), false);
  auto nearest = [&](const Contour& c) -> int {
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      const DrawnShape& d = drawn[i];
      const double tolerance = std::max(2.0, 0.25 * (d.kind == 1 ? d.radius : d.width));
      if (d.kind == c.shape && Length(c.centre.x - d.cx, c.centre.y - d.cy) <= tolerance)
        return static_cast<int>(i);
    }
    return -1;
  };
  for (const Contour& c : result.contours) {
    if (c.shape == 0) continue;
    const int match = nearest(c);
    if (c.hole && match >= 0 && drawn[static_cast<std::size_t>(match)].inner > 0) continue;
    ++score.reported;
    if (match < 0 || c.hole || found[static_cast<std::size_t>(match)])
      ++score.falseShapes;
    else
      found[static_cast<std::size_t>(match)] = true;
  }
  for (std::size_t i = 0; i < drawn.size(); ++i)
    if (drawn[i].clear) {
      ++score.clear;
      score.clearFound += found[i] ? 1 : 0;
    }
  return score;
}

}  // namespace cli
