// GIF decoding throughput: ReadGIFImage next to giflib's DGifSlurp on the same
// files in the same run, in megapixels per second, and ReadGIFImage's speed
// as a multiple of giflib's (x_giflib, from CPU time). The files are made
// here with giflib's encoder: a map-like 4000 × 4000 image (flat regions,
// thin contour lines, roads and a grid, 256 colours) and photo-like ones
// (noisy gradients, about 1.2 pixels per code) of 1000 × 1000, 2000 × 2000
// and 4000 × 4000. Before timing, both decoders' indices are checked to be
// identical. Every benchmark also reports its fastest repetition ("_min":
// read its time column).
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace {

constexpr int kLargeSide = 4000;

struct Sample {
  std::string name;
  int side;
  std::string path;
  double megapixels = 0;
  long fileBytes = 0;
};

std::vector<unsigned char> MapLike(int side) {
  std::vector<unsigned char> px(static_cast<std::size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      // Regions with wavy borders.
      const int wx = x + static_cast<int>(40 * std::sin(y / 130.0));
      const int wy = y + static_cast<int>(40 * std::sin(x / 170.0));
      unsigned char v = static_cast<unsigned char>(((wx / 350) * 7 + (wy / 290) * 13) % 48);
      // Contour lines, one pixel wide.
      const double h = x * 0.7 + y * 0.4 + 60 * std::sin(x / 210.0) * std::cos(y / 260.0);
      if (static_cast<long>(h) % 90 == 0) v = 200;
      // A grid and a few roads.
      if (x % 500 == 0 || y % 500 == 0) v = 210;
      if (std::abs(y - x / 2 - 700) <= 1 || std::abs(x - 2600 - y / 5) <= 2) v = 230;
      px[static_cast<std::size_t>(y) * side + x] = v;
    }
  }
  return px;
}

/// The same picture at every side: the gradients scale with it.
std::vector<unsigned char> PhotoLike(int side) {
  std::vector<unsigned char> px(static_cast<std::size_t>(side) * side);
  std::mt19937 random(5);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double sx = x * 4000.0 / side, sy = y * 4000.0 / side;
      const double g = 110 + 60 * std::sin(sx / 400.0) + 50 * std::cos(sy / 330.0 + sx / 900.0);
      const int v = static_cast<int>(g) + static_cast<int>(random() % 41) - 20;
      px[static_cast<std::size_t>(y) * side + x] = static_cast<unsigned char>(v < 0     ? 0
                                                                              : v > 255 ? 255
                                                                                        : v);
    }
  }
  return px;
}

bool WriteGif(const std::string& path, int side, const std::vector<unsigned char>& px) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i)
    map->Colors[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(i * 3),
                                  static_cast<GifByteType>(255 - i)};
  bool ok = EGifPutScreenDesc(gif, side, side, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < side; ++y)
    ok =
        EGifPutLine(gif, const_cast<unsigned char*>(px.data()) + static_cast<std::size_t>(y) * side,
                    side) == GIF_OK;
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

// giflib's whole read of the file: open, slurp, close. Returns the first
// frame's indices when asked.
bool SlurpWithGiflib(const std::string& path, int side, std::vector<unsigned char>* indices) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  if (ok && indices) {
    const SavedImage& frame = gif->SavedImages[0];
    indices->assign(frame.RasterBits, frame.RasterBits + static_cast<std::size_t>(side) * side);
  }
  DGifCloseFile(gif, &error);
  return ok;
}

bool SameIndices(const Sample& sample) {
  const int side = sample.side;
  std::vector<unsigned char> want;
  if (!SlurpWithGiflib(sample.path, side, &want)) return false;
  CImageDataModel image;
  if (!image.ReadGIFImage(sample.path.c_str())) return false;
  const BYTE* bits = image.GetBuffer();
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      if (bits[static_cast<std::size_t>(side - 1 - y) * image.GetLineBytes() + x] !=
          want[static_cast<std::size_t>(y) * side + x])
        return false;
  return true;
}

// The sample files, made and checked on first use; removed at exit.
struct Samples {
  Samples() {
    char pattern[] = "/tmp/zentrel-bench-gif-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder = pattern;
    const std::pair<const char*, int> samples[] = {
        {"map", kLargeSide}, {"photo", kLargeSide}, {"photo1000", 1000}, {"photo2000", 2000}};
    for (const auto& [name, side] : samples) {
      Sample s{name, side, folder + "/" + name + ".gif"};
      if (!WriteGif(s.path, side, s.name == "map" ? MapLike(side) : PhotoLike(side))) std::abort();
      FILE* f = std::fopen(s.path.c_str(), "rb");
      std::fseek(f, 0, SEEK_END);
      s.fileBytes = std::ftell(f);
      std::fclose(f);
      s.megapixels = side * static_cast<double>(side) / 1e6;
      if (!SameIndices(s)) {
        std::fprintf(stderr, "%s: the decoders disagree\n", name);
        std::abort();
      }
      // Nearly every code of these files is 12 bits wide.
      std::fprintf(stderr,
                   "%s: %d x %d, %ld bytes (about %.2f pixels per code), indices identical to "
                   "giflib's\n",
                   name, side, side, s.fileBytes, s.megapixels * 1e6 / (s.fileBytes * 8.0 / 12.0));
      list.push_back(s);
    }
  }
  ~Samples() {
    for (const Sample& s : list) std::remove(s.path.c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
  std::vector<Sample> list;
  // giflib's best CPU seconds per read of each sample, once measured.
  std::map<std::string, double> giflibSeconds;
};

Samples& TheSamples() {
  static Samples samples;
  return samples;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void SetCounters(benchmark::State& state, const Sample& sample) {
  state.counters["pixels/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * sample.megapixels * 1e6,
                         benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * sample.fileBytes);
}

// giflib first, so that each ReadGIFImage run can report its speed against
// giflib's on the same file (CPU time: the machines these run on are
// shared).
void BM_DGifSlurp(benchmark::State& state, int which) {
  const Sample& sample = TheSamples().list[static_cast<std::size_t>(which)];
  const double start = CpuSeconds();
  for (auto _ : state)
    if (!SlurpWithGiflib(sample.path, sample.side, nullptr))
      state.SkipWithError("DGifSlurp failed");
  const double perRead = (CpuSeconds() - start) / static_cast<double>(state.iterations());
  auto& best = TheSamples().giflibSeconds;
  if (!best.count(sample.name) || perRead < best[sample.name]) best[sample.name] = perRead;
  SetCounters(state, sample);
}

void BM_ReadGIFImage(benchmark::State& state, int which) {
  const Sample& sample = TheSamples().list[static_cast<std::size_t>(which)];
  const double start = CpuSeconds();
  for (auto _ : state) {
    CImageDataModel image;
    if (!image.ReadGIFImage(sample.path.c_str())) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.GetBuffer());
  }
  const double perRead = (CpuSeconds() - start) / static_cast<double>(state.iterations());
  SetCounters(state, sample);
  const auto giflib = TheSamples().giflibSeconds.find(sample.name);
  if (giflib != TheSamples().giflibSeconds.end())
    state.counters["x_giflib"] = giflib->second / perRead;
}

double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define GIF_PAIR(name, which)                     \
  BENCHMARK_CAPTURE(BM_DGifSlurp, name, which)    \
      ->Unit(benchmark::kMillisecond)             \
      ->ComputeStatistics("min", Fastest);        \
  BENCHMARK_CAPTURE(BM_ReadGIFImage, name, which) \
      ->Unit(benchmark::kMillisecond)             \
      ->ComputeStatistics("min", Fastest)

GIF_PAIR(map, 0);
GIF_PAIR(photo1000, 2);
GIF_PAIR(photo2000, 3);
GIF_PAIR(photo, 1);

}  // namespace

BENCHMARK_MAIN();
