// Throughput of the clean-up operations. The noise filter runs every type
// at 3 × 3, 5 × 5 and 10 × 10 on a 4000 × 4000 8-bit grey sheet, next to the
// literal filter (every window gathered afresh and bubble-sorted) as the
// baseline; outline marking and shrinking run on a 4000 × 4000 sheet at
// both depths, next to a pass through the public pixel operations. Where
// OpenCV's imgproc is installed, its nearest filters run on the same sheets
// in the same run, on one thread like this library: blur and medianBlur
// beside the noise filter, erode 3 × 3 of the 24-bit sheet beside outline
// marking and shrinking (its filters write a new image; these work in
// place). The mean of the k nearest values also runs through this
// program's own copy of the filter with the lanes named, so that the ways
// of processors without AVX-512BW or AVX2 are timed here too. All figures are in megapixels per second of the image filtered;
// every benchmark also reports the fastest of its repetitions ("_min": its
// time columns; its rate column shows the slowest repetition's rate).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(ZENTREL_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include "../tests/cleanup/NoiseImages.h"
#include "../tests/cleanup/NoiseReference.h"
#include "../tests/cleanup/OutlineReference.h"
#include "ImageDataModel.h"
#include "cleanup/NearestWindow.h"

namespace {

constexpr int kNoiseSide = 4000;
constexpr int kOutlineSide = 4000;

std::uint32_t NextRandom(std::uint64_t& state) {
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return static_cast<std::uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
}

BYTE* StoredRow(CImageDataModel& image, UINT y) {
  return image.GetBuffer() +
         static_cast<std::size_t>(image.GetHeight() - 1 - y) * image.GetLineBytes();
}

/// A scanned grey sheet: light paper with grain, a slow shading across it,
/// and dark strokes (horizontal and vertical lines, filled blocks).
void MakeGreySheet(CImageDataModel& image, int width, int height) {
  image.InitImage(width, height, 8);
  std::uint64_t state = 12345;
  for (int y = 0; y < height; ++y) {
    BYTE* row = StoredRow(image, static_cast<UINT>(y));
    for (int x = 0; x < width; ++x)
      row[x] =
          static_cast<BYTE>(200 + (x + y) % 31 - 15 + static_cast<int>(NextRandom(state) % 21));
  }
  for (int stroke = 0; stroke < width / 4; ++stroke) {
    const int x0 = static_cast<int>(NextRandom(state) % static_cast<std::uint32_t>(width));
    const int y0 = static_cast<int>(NextRandom(state) % static_cast<std::uint32_t>(height));
    const int length = 5 + static_cast<int>(NextRandom(state) % 120);
    const int thickness = 1 + static_cast<int>(NextRandom(state) % 4);
    const int kind = static_cast<int>(NextRandom(state) % 3);
    const int xs = kind == 1 ? thickness : length;
    const int ys = kind == 0 ? thickness : (kind == 1 ? length : length / 2);
    for (int y = y0; y < y0 + ys && y < height; ++y) {
      BYTE* row = StoredRow(image, static_cast<UINT>(y));
      for (int x = x0; x < x0 + xs && x < width; ++x)
        row[x] = static_cast<BYTE>(30 + NextRandom(state) % 40);
    }
  }
}

/// A map sheet: background colour with slight grain, covered in places by
/// coloured areas and lines. 8-bit sheets use 16 table entries: 0..7 near
/// the background, 8..15 map colours.
void MakeMapSheet(CImageDataModel& image, int side, int bits) {
  image.InitImage(side, side, bits);
  std::uint64_t state = 777;
  const COLORREF colours[16] = {
      RGB(235, 235, 235), RGB(233, 236, 235), RGB(238, 234, 232), RGB(231, 235, 237),
      RGB(236, 231, 236), RGB(235, 238, 233), RGB(232, 232, 232), RGB(239, 236, 234),
      RGB(20, 20, 20),    RGB(200, 60, 40),   RGB(40, 120, 200),  RGB(90, 170, 70),
      RGB(160, 110, 60),  RGB(250, 220, 60),  RGB(120, 120, 120), RGB(60, 40, 140)};
  if (bits == 8) {
    for (int i = 0; i < 16; ++i)
      image.GetPalette()[i] =
          RGBQUAD{GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
  }
  auto put = [&](int x, int y, int index) {
    BYTE* row = StoredRow(image, static_cast<UINT>(y));
    if (bits == 8) {
      row[x] = static_cast<BYTE>(index);
    } else {
      BYTE* p = row + 3 * x;
      p[0] = GetBValue(colours[index]);
      p[1] = GetGValue(colours[index]);
      p[2] = GetRValue(colours[index]);
    }
  };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) put(x, y, static_cast<int>(NextRandom(state) % 8));
  for (int area = 0; area < side / 2; ++area) {
    const int x0 = static_cast<int>(NextRandom(state) % static_cast<std::uint32_t>(side));
    const int y0 = static_cast<int>(NextRandom(state) % static_cast<std::uint32_t>(side));
    const bool line = NextRandom(state) % 2 == 0;
    const int xs = line ? 2 + static_cast<int>(NextRandom(state) % 300)
                        : 10 + static_cast<int>(NextRandom(state) % 150);
    const int ys = line ? 1 + static_cast<int>(NextRandom(state) % 3)
                        : 10 + static_cast<int>(NextRandom(state) % 150);
    const int index = 8 + static_cast<int>(NextRandom(state) % 8);
    for (int y = y0; y < y0 + ys && y < side; ++y)
      for (int x = x0; x < x0 + xs && x < side; ++x) put(x, y, index);
  }
}

/// The whole block, to restore the image between iterations.
std::vector<BYTE> Snapshot(CImageDataModel& image) {
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetBmh());
  const std::size_t size = static_cast<std::size_t>(image.GetBuffer() - start) +
                           static_cast<std::size_t>(image.GetLineBytes()) * (image.GetHeight() + 1);
  return std::vector<BYTE>(start, start + size);
}

void Restore(CImageDataModel& image, const std::vector<BYTE>& snapshot) {
  std::memcpy(image.GetBmh(), snapshot.data(), snapshot.size());
}

void SetRate(benchmark::State& state, double pixelsPerIteration) {
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * pixelsPerIteration / 1e6,
                         benchmark::Counter::kIsRate);
}

/// The fastest repetition, beside Google Benchmark's mean and median: the
/// machines these run on are shared.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

/// The neighbour count for a type and window side (used by type 2 only).
int NeighbourCount(int type, int side) { return type == 2 ? side * side / 2 : 0; }

/// Times filter(image) on the grey sheet (all of it, or its first rows),
/// restored before each run; the filter returns an error to report, or
/// nullptr.
template <typename Filter>
void TimeOnGreySheet(benchmark::State& state, Filter filter, int rows = kNoiseSide) {
  CImageDataModel image;
  MakeGreySheet(image, kNoiseSide, rows);
  const std::vector<BYTE> original = Snapshot(image);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(image, original);
    state.ResumeTiming();
    if (const char* error = filter(image)) {
      state.SkipWithError(error);
      break;
    }
  }
  SetRate(state, static_cast<double>(kNoiseSide) * rows);
}

/// Times RemoveNoise on the whole sheet.
void TimeRemoveNoise(benchmark::State& state, int w, int h, int k, int type) {
  TimeOnGreySheet(state, [&](CImageDataModel& image) -> const char* {
    return image.RemoveNoise(w, h, k, type) == 1 ? nullptr : "RemoveNoise failed";
  });
}

// Arguments: filter type, window side.
void BM_RemoveNoise(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const int side = static_cast<int>(state.range(1));
  TimeRemoveNoise(state, side, side, NeighbourCount(type, side), type);
}

// Arguments: filter type, window side, rows of the sheet filtered. The
// literal filter needs minutes for the whole sheet with large sorted
// windows, so those runs filter a band of the same 4000-pixel-wide sheet;
// the rate per pixel does not depend on the number of rows.
void BM_RemoveNoiseBaseline(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const int side = static_cast<int>(state.range(1));
  const int rows = static_cast<int>(state.range(2));
  TimeOnGreySheet(
      state,
      [&](CImageDataModel& image) -> const char* {
        return zt::ReferenceRemoveNoise(image, side, side, NeighbourCount(type, side), type) == 1
                   ? nullptr
                   : "literal filter failed";
      },
      rows);
}

// Arguments: window width and height. The mean of the k nearest values
// (k half the window) on windows between the table's square ones, whose
// ways through differ with the window's samples besides the written ones.
void BM_NearestValuesWindow(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  TimeRemoveNoise(state, w, h, w * h / 2, 2);
}

// Arguments: window width and height, lanes (0: none, the portable loops
// and past 64 samples besides the written ones the sliding histogram;
// 1: AVX2; 2: AVX-512BW). The mean of the k nearest values (k half the
// window) through this program's copy of the filter with the lanes named,
// as a processor that lacks the wider ones runs it.
void BM_NearestValuesLanes(benchmark::State& state) {
  namespace cleanup = zentrel::detail::cleanup;
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  const int lanes = static_cast<int>(state.range(2));
  const int k = w * h / 2;
  TimeOnGreySheet(state, [&](CImageDataModel& image) -> const char* {
    const cleanup::NoiseWindow window = zt::NoiseWindowOver(image, w, h);
    if (lanes == 0) {
      cleanup::RunRankFilter(window, k, 2);
      return nullptr;
    }
    const auto named = lanes == 1 ? cleanup::NearestLanes::kAvx2 : cleanup::NearestLanes::kAvx512;
    return cleanup::RunNearestWindow(window, k, named) ? nullptr : "lanes missing here";
  });
}

void NoiseArguments(benchmark::internal::Benchmark* b) {
  for (int type = 0; type <= 4; ++type)
    for (int side : {3, 5, 10}) b->Args({type, side});
}

void BaselineArguments(benchmark::internal::Benchmark* b) {
  for (int type = 0; type <= 4; ++type) {
    for (int side : {3, 5, 10}) {
      const bool sorted = type == 2 || type == 3;
      const int rows = !sorted ? kNoiseSide : (side == 3 ? 1000 : (side == 5 ? 200 : 40));
      b->Args({type, side, rows});
    }
  }
}

BENCHMARK(BM_RemoveNoise)
    ->Apply(NoiseArguments)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK(BM_NearestValuesWindow)
    ->ArgsProduct({{3, 4, 6, 7, 8}, {4, 8}})
    ->Args({9, 9})
    ->Args({10, 6})
    ->Args({7, 10})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK(BM_NearestValuesLanes)
    ->ArgsProduct({{6, 8, 10}, {6, 8, 10}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK(BM_RemoveNoiseBaseline)
    ->Apply(BaselineArguments)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Argument: bit depth. Operation 0 marks outlines, 1 shrinks.
template <int Operation, bool Plain>
void BM_Outline(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  CImageDataModel image;
  MakeMapSheet(image, kOutlineSide, bits);
  const std::vector<BYTE> original = Snapshot(image);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(image, original);
    state.ResumeTiming();
    int result = 0;
    if (Operation == 0)
      result = Plain ? zt::ReferenceEdge(image) : image.Edge();
    else
      result = Plain ? zt::ReferenceShrink(image) : image.Shrink();
    benchmark::DoNotOptimize(result);
  }
  SetRate(state, static_cast<double>(kOutlineSide) * kOutlineSide);
}

BENCHMARK_TEMPLATE(BM_Outline, 0, false)
    ->Name("BM_Edge")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK_TEMPLATE(BM_Outline, 0, true)
    ->Name("BM_EdgeBaseline")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_TEMPLATE(BM_Outline, 1, false)
    ->Name("BM_Shrink")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
BENCHMARK_TEMPLATE(BM_Outline, 1, true)
    ->Name("BM_ShrinkBaseline")
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

#if defined(ZENTREL_BENCH_HAVE_OPENCV)
/// The sheet's pixel rows as an OpenCV image (top row first; the bottom-up
/// order does not matter to these filters' speed).
cv::Mat AsMat(CImageDataModel& image, int type) {
  cv::Mat view(static_cast<int>(image.GetHeight()), static_cast<int>(image.GetWidth()), type,
               image.GetBuffer(), image.GetLineBytes());
  return view.clone();
}

// Arguments: filter (0 blur, 1 medianBlur), window side.
void BM_OpenCvNoise(benchmark::State& state) {
  cv::setNumThreads(1);
  const int side = static_cast<int>(state.range(1));
  CImageDataModel image;
  MakeGreySheet(image, kNoiseSide, kNoiseSide);
  const cv::Mat source = AsMat(image, CV_8UC1);
  cv::Mat result;
  for (auto _ : state) {
    if (state.range(0) == 0)
      cv::blur(source, result, cv::Size(side, side));
    else
      cv::medianBlur(source, result, side);
    benchmark::DoNotOptimize(result.data);
  }
  SetRate(state, static_cast<double>(kNoiseSide) * kNoiseSide);
}

BENCHMARK(BM_OpenCvNoise)
    ->Args({0, 3})
    ->Args({0, 5})
    ->Args({0, 10})
    ->Args({1, 3})
    ->Args({1, 5})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);

// Argument: bit depth.
void BM_OpenCvErode3x3(benchmark::State& state) {
  cv::setNumThreads(1);
  const int bits = static_cast<int>(state.range(0));
  CImageDataModel image;
  MakeMapSheet(image, kOutlineSide, bits);
  const cv::Mat source = AsMat(image, bits == 24 ? CV_8UC3 : CV_8UC1);
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::Mat result;
  for (auto _ : state) {
    cv::erode(source, result, kernel);
    benchmark::DoNotOptimize(result.data);
  }
  SetRate(state, static_cast<double>(kOutlineSide) * kOutlineSide);
}

BENCHMARK(BM_OpenCvErode3x3)
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
#endif

}  // namespace

BENCHMARK_MAIN();
