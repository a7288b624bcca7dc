// Batches of sheets through the tool's job (read, paper colour, pipeline,
// GeoJSON output), in sheets per second: 16 sheets one at a time and with
// 2 workers, in the same run, with the CPU time of all threads per batch.
// Each sheet is an 8-bit 1600 x 1200 sheet on cream paper with 192 filled
// squares and discs and speckle.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Batch.h"
#include "ImageDataModel.h"

namespace {

constexpr int kSheets = 16;
constexpr UINT kWidth = 1600, kHeight = 1200;

// The sheets, written once into a temporary folder.
class SheetFolder {
 public:
  SheetFolder() {
    char pattern[] = "/tmp/zentrel-batch-XXXXXX";
    if (::mkdtemp(pattern)) m_path = pattern;
    for (int i = 0; i < kSheets; ++i) {
      const std::string path = m_path + "/sheet" + std::to_string(i) + ".bmp";
      CImageDataModel image;
      Draw(image, i);
      image.SaveBMPImage(path.c_str());
      m_sheets.push_back(path);
    }
  }
  ~SheetFolder() {
    const std::string command = "rm -rf '" + m_path + "'";
    if (!m_path.empty() && std::system(command.c_str()) != 0) m_path.clear();
  }
  const std::vector<std::string>& Sheets() const { return m_sheets; }
  std::string Out() const { return m_path + "/out"; }

 private:
  static void Draw(CImageDataModel& image, int seed) {
    image.InitImage(static_cast<int>(kWidth), static_cast<int>(kHeight), 8);
    RGBQUAD* table = image.GetPalette();
    for (int i = 0; i < 256; ++i)
      table[i] =
          RGBQUAD{static_cast<BYTE>(i * 9 / 10), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    unsigned noise = 12345u + static_cast<unsigned>(seed);
    BYTE* bits = image.GetBuffer();
    for (UINT y = 0; y < kHeight; ++y)
      for (UINT x = 0; x < kWidth; ++x) {
        noise = noise * 1103515245u + 12345u;
        // A 100-pixel grid: a filled square or disc in each cell.
        const int cx = static_cast<int>(x % 100) - 50, cy = static_cast<int>(y % 100) - 50;
        const int size = 18 + static_cast<int>((x / 100 * 7 + y / 100 * 13 + seed) % 20);
        const bool disc = (x / 100 + y / 100) % 2 == 1;
        const bool ink = disc ? cx * cx + cy * cy <= size * size
                              : cx >= -size && cx < size && cy >= -size && cy < size;
        BYTE level = ink ? 40 : 235;
        if (!ink && (noise >> 16) % 53 == 0) level = 120;  // speckle
        bits[static_cast<std::size_t>(kHeight - 1 - y) * image.GetLineBytes() + x] = level;
      }
  }

  std::string m_path;
  std::vector<std::string> m_sheets;
};

// CPU time of the whole process (all threads), in seconds.
double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

const SheetFolder& Folder() {
  static SheetFolder folder;
  return folder;
}

void BM_Batch(benchmark::State& state) {
  const SheetFolder& folder = Folder();
  cli::BatchSettings settings;
  settings.outDir = folder.Out();
  settings.formats = {cli::HaveGdal() ? "geojson" : "json"};
  settings.jobs = static_cast<unsigned>(state.range(0));
  long shapes = 0;
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) {
    const cli::BatchOutcome outcome = cli::ProcessBatch(folder.Sheets(), settings, false);
    if (outcome.done != folder.Sheets().size()) state.SkipWithError("a sheet failed");
    shapes = outcome.rectangles + outcome.circles;
  }
  state.SetItemsProcessed(state.iterations() * kSheets);
  state.counters["shapes_per_batch"] = static_cast<double>(shapes);
  // All threads' CPU per batch: with free cores, wall time times the jobs;
  // on a busy machine it shows how much of the wall time was spent waiting.
  state.counters["process_cpu_s_per_batch"] =
      (ProcessCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Batch)->ArgName("jobs")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
