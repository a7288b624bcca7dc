// Region measuring (regions per second), shape tests (points per second) and
// line drawing (pixels per second), each next to a plain version written with the public pixel
// methods (or every pair of points) as the baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 2000;

void Report(benchmark::State& state, double itemsPerIteration, const char* name) {
  state.counters[name] =
      benchmark::Counter(static_cast<double>(state.iterations()) * itemsPerIteration / 1e6,
                         benchmark::Counter::kIsRate);
}

// ---- Region measuring --------------------------------------------------------

/// A 24-bit sheet of filled disks of radius 4 to 46 on the background, and
/// their centres as seeds: each measurement grows until its outline is clear.
void MakeSheet(CImageDataModel& image, std::vector<POINT>& seeds) {
  image.InitImage(kSide, kSide, 24);
  for (UINT y = 0; y < kSide; ++y)
    for (UINT x = 0; x < kSide; ++x) image.SetPixel(x, y, image.GetBKColor());
  int radius = 4;
  for (int cy = 60; cy < kSide - 60; cy += 120)
    for (int cx = 60; cx < kSide - 60; cx += 120) {
      for (int y = -radius; y <= radius; ++y)
        for (int x = -radius; x <= radius; ++x)
          if (x * x + y * y <= radius * radius) image.SetPixel(cx + x, cy + y, RGB(40, 90, 160));
      seeds.push_back({cx, cy});
      radius = radius >= 46 ? 4 : radius + 3;
    }
}

void BM_GetMinRegion(benchmark::State& state) {
  CImageDataModel image;
  std::vector<POINT> seeds;
  MakeSheet(image, seeds);
  for (auto _ : state) {
    CRect r;
    for (const POINT& seed : seeds) benchmark::DoNotOptimize(image.GetMinRegion(seed, r));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * seeds.size()));
}
BENCHMARK(BM_GetMinRegion)->Unit(benchmark::kMicrosecond);

/// Baseline: the same growth through GetPixel, IsBackground and ColorDistance.
DWORD PlainRegion(const CImageDataModel& image, POINT seed, CRect& rect) {
  const COLORREF colour = image.GetPixel(seed, 5, 5);
  rect = CRect(seed.x, seed.y, seed.x, seed.y);
  if (image.IsBackground(seed)) return colour;
  const int t = static_cast<int>(image.GetPrecision() * 3.6);
  const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
  auto match = [&](int x, int y) { return image.ColorDistance(x, y, colour) < t; };
  for (;;) {
    rect.left = std::max(0, static_cast<int>(rect.left) - 3);
    rect.top = std::max(0, static_cast<int>(rect.top) - 3);
    rect.right = std::min(w - 1, static_cast<int>(rect.right) + 3);
    rect.bottom = std::min(h - 1, static_cast<int>(rect.bottom) + 3);
    bool touched = false;
    for (int x = rect.left; x <= rect.right && !touched; ++x)
      touched =
          (rect.top != 0 && match(x, rect.top)) || (rect.bottom != h - 1 && match(x, rect.bottom));
    for (int y = rect.top; y <= rect.bottom && !touched; ++y)
      touched =
          (rect.left != 0 && match(rect.left, y)) || (rect.right != w - 1 && match(rect.right, y));
    if (!touched || rect.right - rect.left >= 100) break;
  }
  return colour;
}

void BM_GetMinRegionBaseline(benchmark::State& state) {
  CImageDataModel image;
  std::vector<POINT> seeds;
  MakeSheet(image, seeds);
  for (auto _ : state) {
    CRect r;
    for (const POINT& seed : seeds) benchmark::DoNotOptimize(PlainRegion(image, seed, r));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * seeds.size()));
}
BENCHMARK(BM_GetMinRegionBaseline)->Unit(benchmark::kMicrosecond);

// ---- Shape tests ---------------------------------------------------------------

/// A closed square outline of 4 × side + 1 points, as a tracer gives it.
std::vector<POINT> SquareOutline(int side) {
  std::vector<POINT> p;
  for (int i = 0; i < side; ++i) p.push_back({i, 0});
  for (int i = 0; i < side; ++i) p.push_back({side, i});
  for (int i = 0; i < side; ++i) p.push_back({side - i, side});
  for (int i = 0; i < side; ++i) p.push_back({0, side - i});
  p.push_back({0, 0});
  return p;
}

void BM_CircleOrRectangle(benchmark::State& state) {
  const std::vector<POINT> outline = SquareOutline(static_cast<int>(state.range(0)) / 4);
  CImageDataModel model;
  for (auto _ : state) {
    int size;
    POINT centre;
    benchmark::DoNotOptimize(
        model.CircleOrRectangle(static_cast<int>(outline.size()), outline.data(), size, centre));
  }
  Report(state, static_cast<double>(outline.size()), "Mpoint/s");
}
BENCHMARK(BM_CircleOrRectangle)->Arg(400)->Arg(16000)->Unit(benchmark::kMicrosecond);

/// Baseline: the rectangle test's extent over every pair of points.
void BM_ExtentOfEveryPairBaseline(benchmark::State& state) {
  const std::vector<POINT> outline = SquareOutline(static_cast<int>(state.range(0)) / 4);
  const int n = static_cast<int>(outline.size()) - 1;
  for (auto _ : state) {
    std::int64_t best = 0;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        const std::int64_t dx = outline[j].x - outline[i].x, dy = outline[j].y - outline[i].y;
        best = std::max(best, dx * dx + dy * dy);
      }
    benchmark::DoNotOptimize(std::sqrt(static_cast<double>(best)));
  }
  Report(state, static_cast<double>(outline.size()), "Mpoint/s");
}
BENCHMARK(BM_ExtentOfEveryPairBaseline)->Arg(400)->Arg(16000)->Unit(benchmark::kMicrosecond);

// ---- Line drawing --------------------------------------------------------------

/// Lines across the image in every direction; returns the pixels walked.
template <typename DrawLine>
double DrawFan(DrawLine draw) {
  double pixels = 0;
  for (int i = 0; i < kSide; i += 25) {
    draw(CPoint(0, i), CPoint(kSide - 1, kSide - 1 - i));
    draw(CPoint(i, kSide - 1), CPoint(kSide - 1 - i, 0));
    pixels += 2 * kSide;
  }
  return pixels;
}

void BM_DDALine(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, 24);
  double pixels = 0;
  for (auto _ : state)
    pixels = DrawFan([&](CPoint a, CPoint b) { image.DDALine(a, b, RGB(200, 0, 0)); });
  Report(state, pixels, "Mpixel/s");
}
BENCHMARK(BM_DDALine)->Unit(benchmark::kMicrosecond);

/// Baseline: the walk with float coordinates on both axes through SetPixel.
void PlainLine(CImageDataModel& image, CPoint p1, CPoint p2, COLORREF colour) {
  const int dx = p2.x - p1.x, dy = p2.y - p1.y;
  const bool xAxis = dx != 0 && std::fabs(static_cast<double>(dy) / dx) <= 1.0;
  const double m = dx == 0 ? 0.0 : std::fabs(static_cast<double>(dy) / dx);
  const double step =
      xAxis ? (p1.y <= p2.y ? m : -m) : (dx == 0 ? 0.0 : (p1.x <= p2.x ? 1 / m : -1 / m));
  float major = static_cast<float>(xAxis ? p1.x : p1.y);
  float minor = static_cast<float>(xAxis ? p1.y : p1.x);
  const float end = static_cast<float>(xAxis ? p2.x : p2.y);
  const float unit = major <= end ? 1.0f : -1.0f;
  while (unit > 0 ? major <= end : major >= end) {
    const UINT across = static_cast<UINT>(static_cast<int>(minor + 0.5));
    if (xAxis)
      image.SetPixel(static_cast<UINT>(major), across, colour);
    else
      image.SetPixel(across, static_cast<UINT>(major), colour);
    minor = static_cast<float>(minor + step);
    major += unit;
  }
}

void BM_DDALineBaseline(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, 24);
  double pixels = 0;
  for (auto _ : state)
    pixels = DrawFan([&](CPoint a, CPoint b) { PlainLine(image, a, b, RGB(200, 0, 0)); });
  Report(state, pixels, "Mpixel/s");
}
BENCHMARK(BM_DDALineBaseline)->Unit(benchmark::kMicrosecond);

/// A line from the far ends of the coordinate range through the image.
void BM_DDALineExtremeEnds(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, 24);
  for (auto _ : state) {
    image.DDALine(CPoint(INT32_MIN, 0), CPoint(INT32_MAX, 1000), RGB(0, 200, 0));
    image.DDALine(CPoint(7, INT32_MAX), CPoint(-5, INT32_MIN), RGB(0, 200, 0));
  }
  Report(state, 2.0 * kSide, "Mpixel/s");
}
BENCHMARK(BM_DDALineExtremeEnds)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
