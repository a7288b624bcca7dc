// Throughput of the flips, quarter turns and rotation on 8000 × 8000 images
// at 8 and 24 bits, in megapixels per second, beside a memcpy of the same
// pixel area as the baseline. Rotation also runs on 4000 × 4000 images next
// to OpenCV's warpAffine with nearest-neighbour sampling (where OpenCV's
// imgproc is installed; on one thread, like this library). Every benchmark
// also reports its fastest repetition ("_min": read its time column).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#if defined(ZENTREL_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 8000;
// A sheet that is not square is turned through a scratch image.
constexpr int kOblongHeight = 6000;

void ReportPixels(benchmark::State& state, int height = kSide) {
  const double pixels = static_cast<double>(kSide) * height;
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

/// A kSide × kSide image at the benchmark's depth with varied pixels.
bool MakeImage(benchmark::State& state, CImageDataModel& image, int height = kSide) {
  if (!image.InitImage(kSide, height, static_cast<int>(state.range(0)))) {
    state.SkipWithError("no memory for the image");
    return false;
  }
  const std::size_t bytes = static_cast<std::size_t>(image.GetLineBytes()) * height;
  for (std::size_t k = 0; k < bytes; ++k) image.GetBuffer()[k] = static_cast<BYTE>(k * 131 >> 3);
  return true;
}

void BM_MemcpyPixelArea(benchmark::State& state) {
  const std::size_t line = (static_cast<std::size_t>(kSide) * state.range(0) + 31) / 32 * 4;
  std::vector<BYTE> from(line * kSide, 1), to(line * kSide, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
  ReportPixels(state);
}

/// What a fresh scratch image of a kSide × kOblongHeight sheet costs: the
/// allocation, the first touch of every page, and the release.
void BM_FreshScratchOblong(benchmark::State& state) {
  const std::size_t line = (static_cast<std::size_t>(kSide) * state.range(0) + 31) / 32 * 4;
  const std::size_t bytes = line * kOblongHeight;
  for (auto _ : state) {
    BYTE* scratch = static_cast<BYTE*>(::operator new[](bytes, std::nothrow));
    if (!scratch) {
      state.SkipWithError("no memory");
      break;
    }
    std::memset(scratch, 0, bytes);
    benchmark::DoNotOptimize(scratch);
    ::operator delete[](scratch, std::nothrow);
  }
  ReportPixels(state, kOblongHeight);
}

template <int (CImageDataModel::*Operation)()>
void BM_Transform(benchmark::State& state) {
  CImageDataModel image;
  if (!MakeImage(state, image)) return;
  for (auto _ : state) {
    if (!(image.*Operation)()) state.SkipWithError("transform failed");
    benchmark::ClobberMemory();
  }
  ReportPixels(state);
}

/// Left90 then Right90 of a kSide × kOblongHeight sheet; two turns per
/// iteration, so that every iteration starts from the same shape.
void BM_Left90Right90Oblong(benchmark::State& state) {
  CImageDataModel image;
  if (!MakeImage(state, image, kOblongHeight)) return;
  for (auto _ : state) {
    if (!image.Left90() || !image.Right90()) state.SkipWithError("turn failed");
    benchmark::ClobberMemory();
  }
  ReportPixels(state, 2 * kOblongHeight);
}

void BM_Rotate(benchmark::State& state) {
  CImageDataModel image;
  if (!MakeImage(state, image)) return;
  for (auto _ : state) {
    if (!image.Rotate(static_cast<int>(state.range(1)))) state.SkipWithError("rotate failed");
    benchmark::ClobberMemory();
  }
  ReportPixels(state);
}

constexpr int kPeerSide = 4000;

/// A kPeerSide × kPeerSide image at depth range(0) with varied pixels.
bool MakePeerImage(benchmark::State& state, CImageDataModel& image) {
  if (!image.InitImage(kPeerSide, kPeerSide, static_cast<int>(state.range(0)))) {
    state.SkipWithError("no memory for the image");
    return false;
  }
  const std::size_t bytes = static_cast<std::size_t>(image.GetLineBytes()) * kPeerSide;
  for (std::size_t k = 0; k < bytes; ++k) image.GetBuffer()[k] = static_cast<BYTE>(k * 131 >> 3);
  return true;
}

void ReportPeerPixels(benchmark::State& state) {
  const double pixels = static_cast<double>(kPeerSide) * kPeerSide;
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

// Arguments: bit depth, angle.
void BM_Rotate4000(benchmark::State& state) {
  CImageDataModel image;
  if (!MakePeerImage(state, image)) return;
  for (auto _ : state) {
    if (!image.Rotate(static_cast<int>(state.range(1)))) state.SkipWithError("rotate failed");
    benchmark::ClobberMemory();
  }
  ReportPeerPixels(state);
}

#if defined(ZENTREL_BENCH_HAVE_OPENCV)
// Arguments: bit depth, angle. The same turn about the same centre into a
// second image, zero outside.
void BM_OpenCvWarpAffineNearest(benchmark::State& state) {
  cv::setNumThreads(1);
  CImageDataModel image;
  if (!MakePeerImage(state, image)) return;
  const cv::Mat source(kPeerSide, kPeerSide, state.range(0) == 24 ? CV_8UC3 : CV_8UC1,
                       image.GetBuffer(), image.GetLineBytes());
  const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(kPeerSide / 2, kPeerSide / 2),
                                               static_cast<double>(state.range(1)), 1.0);
  cv::Mat result;
  for (auto _ : state) {
    cv::warpAffine(source, result, turn, source.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(result.data);
  }
  ReportPeerPixels(state);
}
#endif

double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define DEPTHS ->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime()

BENCHMARK(BM_MemcpyPixelArea) DEPTHS;
BENCHMARK_TEMPLATE(BM_Transform, &CImageDataModel::Flip)->Name("BM_Flip") DEPTHS;
BENCHMARK_TEMPLATE(BM_Transform, &CImageDataModel::Mirror)->Name("BM_Mirror") DEPTHS;
BENCHMARK_TEMPLATE(BM_Transform, &CImageDataModel::Left90)->Name("BM_Left90") DEPTHS;
BENCHMARK_TEMPLATE(BM_Transform, &CImageDataModel::Right90)->Name("BM_Right90") DEPTHS;
BENCHMARK(BM_FreshScratchOblong) DEPTHS;
BENCHMARK(BM_Left90Right90Oblong) DEPTHS;
BENCHMARK(BM_Rotate)
    ->Args({8, 30})
    ->Args({24, 30})
    ->Args({8, -135})
    ->Args({24, -135})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Rotate4000)
    ->Args({8, 30})
    ->Args({24, 30})
    ->Args({8, 0})
    ->Args({24, 0})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
#if defined(ZENTREL_BENCH_HAVE_OPENCV)
BENCHMARK(BM_OpenCvWarpAffineNearest)
    ->Args({8, 30})
    ->Args({24, 30})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Fastest);
#endif

}  // namespace

BENCHMARK_MAIN();
