// Painting throughput: PaintImageToDevice into the off-screen device (one to
// one, doubled, halved) against a plain painter that divides per pixel and
// reads through GetPixel, in device megapixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 1000;

void FillImage(CImageDataModel& image, int bits) {
  image.InitImage(kSide, kSide, bits);
  for (UINT i = 0; i < image.GetLineBytes() * kSide; ++i)
    image.GetBuffer()[i] = static_cast<BYTE>(i * 7);
  if (bits == 8)
    for (int i = 0; i < 256; ++i) image.GetPalette()[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  image.InitDIBData();
}

void Report(benchmark::State& state, int side) {
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * side * side / 1e6, benchmark::Counter::kIsRate);
}

// Arguments: bit depth, destination side.
void BM_PaintImageToDevice(benchmark::State& state) {
  CImageDataModel image;
  FillImage(image, static_cast<int>(state.range(0)));
  int side = static_cast<int>(state.range(1));
  CDC dc(side, side);
  CRect rect(0, 0, side, side);
  for (auto _ : state) {
    benchmark::DoNotOptimize(image.PaintImageToDevice(&dc, &rect));
    benchmark::ClobberMemory();
  }
  Report(state, side);
}
BENCHMARK(BM_PaintImageToDevice)
    ->Args({8, kSide})
    ->Args({24, kSide})
    ->Args({8, 2 * kSide})
    ->Args({24, kSide / 2})
    ->Unit(benchmark::kMillisecond);

// The baseline: the same nearest sampling, one division and one GetPixel
// per device pixel.
void BM_PlainPainter(benchmark::State& state) {
  CImageDataModel image;
  FillImage(image, static_cast<int>(state.range(0)));
  int side = static_cast<int>(state.range(1));
  CDC dc(side, side);
  for (auto _ : state) {
    std::uint32_t* out = dc.GetBits();
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        COLORREF c = image.GetPixel(static_cast<UINT>(std::int64_t{x} * kSide / side),
                                    static_cast<UINT>(std::int64_t{y} * kSide / side));
        *out++ = 0xFF000000u | (std::uint32_t{GetRValue(c)} << 16) |
                 (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
      }
    benchmark::ClobberMemory();
  }
  Report(state, side);
}
BENCHMARK(BM_PlainPainter)
    ->Args({8, kSide})
    ->Args({24, kSide})
    ->Args({8, 2 * kSide})
    ->Args({24, kSide / 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
