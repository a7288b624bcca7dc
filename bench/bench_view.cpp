// A viewer frame: the visible part of a sheet painted into a window-sized
// device, for sheets of 1000² and 10000² pixels at several zooms, in frames
// and window megapixels per second. The frame's cost follows the window,
// not the sheet.
#include <benchmark/benchmark.h>

#include "ImageDataModel.h"
#include "Viewport.h"

namespace {

constexpr int kWindowWidth = 1280, kWindowHeight = 800;

void FillSheet(CImageDataModel& sheet, int side) {
  sheet.InitImage(side, side, 8);
  const std::uint64_t bytes = std::uint64_t{sheet.GetLineBytes()} * static_cast<UINT>(side);
  BYTE* bits = sheet.GetBuffer();
  for (std::uint64_t i = 0; i < bytes; ++i) bits[i] = static_cast<BYTE>(i * 7 + (i >> 12));
  for (int i = 0; i < 256; ++i)
    sheet.GetPalette()[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
  sheet.InitDIBData();
}

// Arguments: sheet side, zoom in percent (0: fit the window).
void BM_ViewFrame(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  CImageDataModel sheet;
  FillSheet(sheet, side);
  view::Viewport viewport;
  viewport.SetImageSize(side, side);
  viewport.SetWindowSize(kWindowWidth, kWindowHeight);
  viewport.SetZoom(state.range(1) == 0 ? viewport.FitZoom() : state.range(1) / 100.0, 0, 0);
  // In the sheet's middle, as after panning.
  viewport.PanBy(-side, -side);
  viewport.PanBy(side / 2, side / 2);
  CDC device(kWindowWidth, kWindowHeight);
  for (auto _ : state) {
    device.FillSolid(RGB(64, 64, 64));
    CRect rect = viewport.PaintRect();
    benchmark::DoNotOptimize(sheet.PaintImageToDevice(&device, &rect));
    benchmark::ClobberMemory();
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kWindowWidth * kWindowHeight / 1e6,
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ViewFrame)
    ->ArgsProduct({{1000, 10000}, {0, 100, 400, 3200}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
