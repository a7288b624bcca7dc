// Contour tracing and point-list compression throughput, in points per
// second, each next to a plain step-by-step implementation of the same
// rules (GetPixel/ColorDistance reads, a std::unordered_set of visited
// positions) as the baseline:
//  - every contour of an 8000 × 8000 trace mask, traced by a host loop;
//  - long one-pixel colour chains (16000 points per call), 8 and 24 bits;
//  - many short colour contours, one call each;
//  - compression of the traced lists;
//  - the whole path over a synthetic map sheet: Edge, a mask of the marked
//    outlines, tracing every contour, VecCompress and CircleOrRectangle.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "ImageDataModel.h"

namespace {

class Tracer : public CImageDataModel {
 public:
  using CImageDataModel::VecCompress;
  using CImageDataModel::VecConnect;
  using CImageDataModel::VecTrace;
};

constexpr int kDx[8] = {0, -1, 0, 1, 1, 1, -1, -1};
constexpr int kDy[8] = {1, 1, -1, -1, 0, 1, 0, -1};

// ---- Synthetic sheets ----------------------------------------------------

// Draws one-pixel outlines of squares and circles on a grid of 100-pixel
// cells, value 1 on 0, through plot(x, y).
template <typename Plot>
void DrawShapes(int width, int height, Plot plot) {
  for (int cy = 0; cy + 100 <= height; cy += 100)
    for (int cx = 0; cx + 100 <= width; cx += 100) {
      const int size = 20 + (cx / 100 * 7 + cy / 100 * 13) % 70;
      if ((cx / 100 + cy / 100) % 2 == 0) {
        for (int i = 0; i <= size; ++i) {
          plot(cx + 5 + i, cy + 5);
          plot(cx + 5 + i, cy + 5 + size);
          plot(cx + 5, cy + 5 + i);
          plot(cx + 5 + size, cy + 5 + i);
        }
      } else {  // midpoint circle
        const int r = size / 2, ox = cx + 50, oy = cy + 50;
        int x = r, y = 0, err = 1 - r;
        while (x >= y) {
          for (int s = 0; s < 8; ++s) {
            const int px = s & 4 ? y : x, py = s & 4 ? x : y;
            plot(ox + (s & 1 ? -px : px), oy + (s & 2 ? -py : py));
          }
          ++y;
          if (err < 0) {
            err += 2 * y + 1;
          } else {
            --x;
            err += 2 * (y - x) + 1;
          }
        }
      }
    }
}

std::vector<BYTE> ShapeMask(int side) {
  std::vector<BYTE> mask(static_cast<std::size_t>(side) * side, 0);
  DrawShapes(side, side, [&](int x, int y) { mask[static_cast<std::size_t>(y) * side + x] = 1; });
  return mask;
}

// ---- Plain implementations (the baselines) -------------------------------

int PlainMaskCount(const BYTE* m, int x, int y, int w, int h, int value) {
  if (x < 1 || y < 1 || x >= w - 1 || y >= h - 1) return 0;
  int n = 0;
  for (int i = 0; i < 8; ++i)
    n += m[static_cast<std::size_t>(y + kDy[i]) * w + x + kDx[i]] == value;
  return n;
}

short PlainMaskTrace(int x, int y, int w, int h, POINT* points, BYTE* m, int value) {
  if (x < 1 || y < 1 || x >= w - 1 || y >= h - 1) return 0;
  short count = 0;
  for (;;) {
    if (PlainMaskCount(m, x, y, w, h, value) == 0) return count;
    points[count].x = x;
    points[count].y = y;
    if (++count == 1600) return count;
    m[static_cast<std::size_t>(y) * w + x] = 0;
    int i = 0;
    for (; i < 8; ++i) {
      const int nx = x + kDx[i], ny = y + kDy[i];
      if (m[static_cast<std::size_t>(ny) * w + nx] == value &&
          PlainMaskCount(m, nx, ny, w, h, value) >= 1)
        break;
    }
    if (i == 8) return count;
    x += kDx[i];
    y += kDy[i];
  }
}

short PlainColourTrace(const CImageDataModel& image, int x, int y, DWORD colour, POINT* points) {
  const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
  const int t = static_cast<int>(image.GetPrecision() * 3.6);
  auto interior = [&](int px, int py) { return px >= 1 && py >= 1 && px < w - 1 && py < h - 1; };
  if (!interior(x, y)) return 0;
  std::unordered_set<std::uint64_t> visited;
  auto key = [](int px, int py) { return static_cast<std::uint64_t>(py) << 32 | px; };
  visited.insert(key(x, y));
  short count = 0;
  while (interior(x, y)) {
    bool match[8];
    int k = 0;
    for (int i = 0; i < 8; ++i)
      k += match[i] = image.ColorDistance(x + kDx[i], y + kDy[i], colour) < t;
    if (k == 0) break;
    if (k <= 2) {
      points[count].x = x;
      points[count].y = y;
      if (++count == 16000) break;
    }
    int i = 0;
    while (i < 8 && !(match[i] && !visited.count(key(x + kDx[i], y + kDy[i])))) ++i;
    if (i == 8) break;
    x += kDx[i];
    y += kDy[i];
    visited.insert(key(x, y));
  }
  return count;
}

// ---- Mask sheet -----------------------------------------------------------

constexpr int kMaskSide = 8000;

template <bool kPlain>
void BM_MaskSheet(benchmark::State& state) {
  static const std::vector<BYTE> sheet = ShapeMask(kMaskSide);
  std::vector<BYTE> mask(sheet.size());
  std::vector<POINT> points(1600);
  Tracer tracer;
  std::int64_t total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(mask.data(), sheet.data(), sheet.size());
    state.ResumeTiming();
    // The host's loop: trace from every cell still marked, in raster order
    // (memchr skips the empty stretches between them).
    for (int y = 0; y < kMaskSide; ++y) {
      BYTE* row = mask.data() + static_cast<std::size_t>(y) * kMaskSide;
      for (BYTE* cell = row; (cell = static_cast<BYTE*>(std::memchr(
                                  cell, 1, static_cast<std::size_t>(row + kMaskSide - cell))));
           ++cell) {
        const int x = static_cast<int>(cell - row);
        total += kPlain
                     ? PlainMaskTrace(x, y, kMaskSide, kMaskSide, points.data(), mask.data(), 1)
                     : tracer.VecTrace(x, y, kMaskSide, kMaskSide, points.data(), mask.data(), 1);
      }
    }
  }
  state.counters["Mpoint/s"] =
      benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_MaskSheet, false)
    ->Name("MaskSheet8000/library")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_MaskSheet, true)->Name("MaskSheet8000/plain")->Unit(benchmark::kMillisecond);

// ---- Colour chains --------------------------------------------------------

constexpr COLORREF kInk = RGB(200, 30, 30);

void Plot(CImageDataModel& image, int x, int y) {
  if (image.GetColorPixel() == 24) {
    image.SetPixel(x, y, kInk);
  } else {
    const UINT row = image.GetHeight() - 1 - static_cast<UINT>(y);
    image.GetBuffer()[static_cast<std::size_t>(row) * ((image.GetWidth() + 3) & ~3u) + x] = 1;
  }
}

// A 2000 × 2000 image holding a one-pixel serpentine of about 1.1 million
// pixels (runs along every fourth row, joined at alternate ends).
void SerpentineImage(CImageDataModel& image, int bits) {
  constexpr int kSide = 2000;
  image.InitImage(kSide, kSide, bits);
  if (bits == 8) image.GetPalette()[1] = RGBQUAD{30, 30, 200, 0};
  bool right = true;
  for (int y = 2; y + 4 < kSide - 1; y += 4, right = !right) {
    for (int x = 2; x <= kSide - 3; ++x) Plot(image, x, y);
    for (int dy = 1; dy < 4; ++dy) Plot(image, right ? kSide - 3 : 2, y + dy);
  }
}

template <bool kPlain>
void BM_ColourChain(benchmark::State& state) {
  Tracer image;
  SerpentineImage(image, static_cast<int>(state.range(0)));
  std::vector<POINT> points(16000);
  std::int64_t total = 0;
  for (auto _ : state) {
    // Five calls from the middle of runs that lead down the serpentine,
    // each filling the 16000 points.
    for (int y = 2; y < 1900; y += 400) {
      total += kPlain ? PlainColourTrace(image, 1000, y, kInk, points.data())
                      : image.VecTrace(1000, y, kInk, points.data());
    }
  }
  state.counters["Mpoint/s"] =
      benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_ColourChain, false)
    ->Name("ColourChain/library")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ColourChain, true)
    ->Name("ColourChain/plain")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond);

template <bool kPlain>
void BM_ColourShapes(benchmark::State& state) {
  constexpr int kSide = 2000;
  Tracer image;
  image.InitImage(kSide, kSide, 24);
  DrawShapes(kSide, kSide, [&](int x, int y) { image.SetPixel(x, y, kInk); });
  std::vector<POINT> points(16000);
  std::int64_t total = 0;
  for (auto _ : state) {
    // One call per shape, from the top of its outline.
    for (int cy = 0; cy < kSide; cy += 100)
      for (int cx = 0; cx < kSide; cx += 100) {
        const bool square = (cx / 100 + cy / 100) % 2 == 0;
        const int size = 20 + (cx / 100 * 7 + cy / 100 * 13) % 70;
        const int x = square ? cx + 5 + size / 2 : cx + 50,
                  y = square ? cy + 5 : cy + 50 - size / 2;
        total += kPlain ? PlainColourTrace(image, x, y, kInk, points.data())
                        : image.VecTrace(x, y, kInk, points.data());
      }
  }
  state.counters["Mpoint/s"] =
      benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_ColourShapes, false)
    ->Name("ColourShapes/library")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ColourShapes, true)
    ->Name("ColourShapes/plain")
    ->Unit(benchmark::kMillisecond);

// ---- Compression ----------------------------------------------------------

void BM_Compress(benchmark::State& state) {
  // The traced outlines of a 2000 × 2000 mask sheet, each compressed.
  constexpr int kSide = 2000;
  std::vector<BYTE> mask = ShapeMask(kSide);
  Tracer tracer;
  std::vector<std::vector<POINT>> lists;
  std::vector<POINT> points(1600 + 2);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      if (mask[static_cast<std::size_t>(y) * kSide + x] == 1) {
        const short n = tracer.VecTrace(x, y, kSide, kSide, points.data(), mask.data(), 1);
        if (n > 0) lists.emplace_back(points.begin(), points.begin() + n + 2);
      }
  std::vector<POINT> kept(1600);
  std::int64_t total = 0;
  for (auto _ : state) {
    for (auto& list : lists) {
      const short n = static_cast<short>(list.size() - 2);
      benchmark::DoNotOptimize(tracer.VecCompress(list.data(), n, kept.data()));
      total += n;
    }
  }
  state.counters["Mpoint/s"] =
      benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Compress)->Name("Compress/library")->Unit(benchmark::kMillisecond);

// ---- Edge → trace → VecCompress → CircleOrRectangle ---------------------

// A 2000 × 2000 24-bit sheet on the default background with 400 filled
// squares and discs in a few colours.
void MapSheet(CImageDataModel& image) {
  constexpr int kSide = 2000;
  image.InitImage(kSide, kSide, 24);
  const COLORREF colours[3] = {RGB(40, 90, 160), RGB(30, 140, 60), RGB(120, 80, 40)};
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int cx = x / 100, cy = y / 100, ox = x % 100, oy = y % 100;
      const int size = 20 + (cx * 7 + cy * 13) % 70;
      bool inside;
      if ((cx + cy) % 2 == 0) {
        inside = ox >= 5 && oy >= 5 && ox <= 5 + size && oy <= 5 + size;
      } else {
        const int dx = ox - 50, dy = oy - 50;
        inside = dx * dx + dy * dy <= size * size / 4;
      }
      image.SetPixel(x, y, inside ? colours[(cx + 2 * cy) % 3] : image.GetBKColor());
    }
}

void BM_Pipeline(benchmark::State& state) {
  Tracer image;
  MapSheet(image);
  const int width = static_cast<int>(image.GetWidth()),
            height = static_cast<int>(image.GetHeight());
  const std::size_t imageBytes = static_cast<std::size_t>(image.GetLineBytes()) * height;
  const std::vector<BYTE> sheet(image.GetBuffer(), image.GetBuffer() + imageBytes);
  std::vector<BYTE> mask(static_cast<std::size_t>(width) * height);
  std::vector<POINT> points(1600 + 2), kept(1600);
  std::int64_t total = 0, circles = 0, rectangles = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(image.GetBuffer(), sheet.data(), imageBytes);
    state.ResumeTiming();
    image.Edge();
    // The host's mask: every pixel that Edge painted red.
    for (int y = 0; y < height; ++y) {
      const BYTE* row =
          image.GetBuffer() + static_cast<std::size_t>(height - 1 - y) * image.GetLineBytes();
      BYTE* cells = mask.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x)
        cells[x] = row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0xFF;
    }
    for (int y = 0; y < height; ++y) {
      BYTE* row = mask.data() + static_cast<std::size_t>(y) * width;
      for (BYTE* cell = row; (cell = static_cast<BYTE*>(std::memchr(
                                  cell, 1, static_cast<std::size_t>(row + width - cell))));
           ++cell) {
        const short n = image.VecTrace(static_cast<int>(cell - row), y, width, height,
                                       points.data(), mask.data(), 1);
        if (n == 0) continue;
        total += n;
        const short k = image.VecCompress(points.data(), n, kept.data());
        int size = 0;
        POINT centre{0, 0};
        const int shape = image.CircleOrRectangle(k, kept.data(), size, centre);
        circles += shape == 1;
        rectangles += shape == 2;
      }
    }
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["Mpoint/s"] =
      benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate);
  state.counters["Mpixel/s"] =
      benchmark::Counter(iterations * width * height / 1e6, benchmark::Counter::kIsRate);
  state.counters["circles"] = static_cast<double>(circles) / iterations;
  state.counters["rectangles"] = static_cast<double>(rectangles) / iterations;
}
BENCHMARK(BM_Pipeline)->Name("MapSheetPipeline2000/library")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
