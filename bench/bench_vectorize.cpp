// Throughput of the vectorising pipeline and of its stages on a synthetic
// 2000 x 1500 map sheet (81 shapes, roads, lettering, speckle) of each
// depth. bench/vectorize_vs_potrace.sh compares the whole command with
// potrace on a larger sheet.
#include <benchmark/benchmark.h>

#include "Borders.h"
#include "InkMask.h"
#include "TestSheet.h"
#include "Vectorizer.h"

namespace {

cli::SheetVectorizer& Sheet(int bits) {
  static cli::SheetVectorizer sheets[3];
  const int slot = bits == 1 ? 0 : bits == 8 ? 1 : 2;
  cli::SheetVectorizer& sheet = sheets[slot];
  if (sheet.IsEmpty()) {
    cli::TestSheetPlan plan;
    plan.width = 2000;
    plan.height = 1500;
    plan.bits = bits;
    plan.paper = RGB(244, 236, 212);
    plan.shapes = 81;
    plan.roads = 10;
    plan.words = 190;
    plan.seed = 1;
    cli::MakeTestSheet(plan, sheet);
    sheet.SetPrecision(cli::VectorizeOptions().precision);
  }
  return sheet;
}

void Pixels(benchmark::State& state, const CImageDataModel& sheet) {
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * sheet.GetWidth() * sheet.GetHeight() / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_Vectorize(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(static_cast<int>(state.range(0)));
  std::size_t shapes = 0;
  for (auto _ : state) {
    CImageDataModel mask;
    const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
    shapes = 0;
    for (const cli::Contour& c : result.contours) shapes += c.shape != 0;
    benchmark::DoNotOptimize(shapes);
  }
  state.counters["shapes"] = static_cast<double>(shapes);
  Pixels(state, sheet);
}
BENCHMARK(BM_Vectorize)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_InkMask(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(static_cast<int>(state.range(0)));
  CImageDataModel mask;
  for (auto _ : state) benchmark::DoNotOptimize(cli::BuildInkMask(sheet, mask));
  Pixels(state, sheet);
}
BENCHMARK(BM_InkMask)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_MajorityFilter(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(8);
  CImageDataModel mask;
  cli::BuildInkMask(sheet, mask);
  const cli::MaskView view = cli::ViewOf(mask);
  for (auto _ : state) cli::MajorityFilter(view);  // the same work on a filtered mask
  Pixels(state, sheet);
}
BENCHMARK(BM_MajorityFilter)->Unit(benchmark::kMillisecond);

void BM_FollowBorders(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(8);
  CImageDataModel mask;
  std::size_t cells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    cli::BuildInkMask(sheet, mask);
    cli::MajorityFilter(cli::ViewOf(mask));
    state.ResumeTiming();
    cells = 0;
    cli::FollowBorders(cli::ViewOf(mask), [&](cli::Border& b) { cells += b.cells.size(); });
  }
  state.counters["border cells"] = static_cast<double>(cells);
  Pixels(state, sheet);
}
BENCHMARK(BM_FollowBorders)->Unit(benchmark::kMillisecond);

// The same stages on the packed mask the pipeline runs on.
void BM_PackedInkMask(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(static_cast<int>(state.range(0)));
  cli::PackedMask mask;
  for (auto _ : state) benchmark::DoNotOptimize(cli::BuildInkMask(sheet, mask));
  Pixels(state, sheet);
}
BENCHMARK(BM_PackedInkMask)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_PackedMajorityFilter(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(8);
  cli::PackedMask mask;
  cli::BuildInkMask(sheet, mask);
  for (auto _ : state) cli::MajorityFilter(mask);  // the same work on a filtered mask
  Pixels(state, sheet);
}
BENCHMARK(BM_PackedMajorityFilter)->Unit(benchmark::kMillisecond);

void BM_PackedFollowBorders(benchmark::State& state) {
  cli::SheetVectorizer& sheet = Sheet(8);
  cli::PackedMask mask;
  std::size_t cells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    cli::BuildInkMask(sheet, mask);
    cli::MajorityFilter(mask);
    state.ResumeTiming();
    cells = 0;
    cli::FollowBorders(mask, [&](cli::Border& b) { cells += b.cells.size(); });
  }
  state.counters["border cells"] = static_cast<double>(cells);
  Pixels(state, sheet);
}
BENCHMARK(BM_PackedFollowBorders)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
