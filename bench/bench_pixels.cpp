// Pixel access throughput: GetPixel, SetPixel and the background test over a
// whole 24-bit and 8-bit image, reported in megapixels per second.
#include <benchmark/benchmark.h>

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 2000;

void BM_GetPixel(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    COLORREF sum = 0;
    for (UINT y = 0; y < kSide; ++y)
      for (UINT x = 0; x < kSide; ++x) sum += image.GetPixel(x, y);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GetPixel)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_IsBackground(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int count = 0;
    for (UINT y = 0; y < kSide; ++y)
      for (UINT x = 0; x < kSide; ++x) count += image.IsBackground(x, y);
    benchmark::DoNotOptimize(count);
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IsBackground)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_SetPixel(benchmark::State& state) {
  CImageDataModel image;
  image.InitImage(kSide, kSide, 24);
  for (auto _ : state) {
    for (UINT y = 0; y < kSide; ++y)
      for (UINT x = 0; x < kSide; ++x) image.SetPixel(x, y, x ^ y);
    benchmark::ClobberMemory();
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SetPixel)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
