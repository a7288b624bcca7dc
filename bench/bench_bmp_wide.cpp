// The widened BMP reader on a 4000 × 4000 map-like image stored in the
// forms it converts (4-bit, RLE8, 5-6-5 bit fields, 32-bit), next to the
// narrow reader on the same image as plain 8 bits: megapixels per second of
// wall time, file in the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 4000;
using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

/// A map-like picture: large areas of few colours, with thin lines.
unsigned IndexAt(int x, int y) {
  if (x % 97 == 0 || y % 89 == 0) return 1;
  return 2 + ((x / 250) + (y / 300)) % 12;
}

/// A BMP file of the picture: bits 4, 8, 16 (5-6-5) or 32, or 8 with RLE8.
Bytes MakeFile(int bits, bool rle) {
  Bytes pixels;
  const std::uint32_t row = (kSide * bits + 31) / 32 * 4;
  for (int r = 0; r < kSide; ++r) {
    const int y = kSide - 1 - r;
    if (rle) {
      for (int x = 0; x < kSide;) {
        int run = 1;
        while (x + run < kSide && run < 255 && IndexAt(x + run, y) == IndexAt(x, y)) ++run;
        pixels.push_back(static_cast<std::uint8_t>(run));
        pixels.push_back(static_cast<std::uint8_t>(IndexAt(x, y)));
        x += run;
      }
      pixels.insert(pixels.end(), {0, 0});
      continue;
    }
    Bytes line(row, 0);
    for (int x = 0; x < kSide; ++x) {
      const unsigned i = IndexAt(x, y);
      if (bits == 4) line[x / 2] |= static_cast<std::uint8_t>(x % 2 ? i : i << 4);
      if (bits == 8) line[x] = static_cast<std::uint8_t>(i);
      if (bits == 16) {
        const unsigned v = (i * 2) << 11 | (i * 5) << 5 | i;  // 5-6-5
        line[2 * x] = static_cast<std::uint8_t>(v);
        line[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      }
      if (bits == 32)
        line[4 * x] = line[4 * x + 1] = line[4 * x + 2] = static_cast<std::uint8_t>(i * 20);
    }
    pixels.insert(pixels.end(), line.begin(), line.end());
  }
  if (rle) pixels.insert(pixels.end(), {0, 1});
  const bool masks = bits == 16;
  const std::uint32_t table = bits <= 8 ? 4u << bits : 0;
  const std::uint32_t offset = 54 + (masks ? 12 : 0) + table;
  Bytes file = {'B', 'M'};
  Put(file, offset + static_cast<std::uint32_t>(pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, offset, 4);
  for (std::uint32_t v : {40u, std::uint32_t(kSide), std::uint32_t(kSide)}) Put(file, v, 4);
  Put(file, 1, 2);
  Put(file, static_cast<std::uint32_t>(bits), 2);
  Put(file, rle ? 1 : masks ? 3 : 0, 4);
  for (int i = 0; i < 5; ++i) Put(file, 0, 4);
  if (masks)
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Put(file, m, 4);
  for (std::uint32_t i = 0; i < table / 4; ++i) Put(file, i * 0x010101u, 4);
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

const std::string& FileFor(int form) {
  static std::map<int, std::string> paths;
  std::string& path = paths[form];
  if (path.empty()) {
    path =
        (std::filesystem::temp_directory_path() /
         ("zentrel-bench-wide-" + std::to_string(::getpid()) + "-" + std::to_string(form) + ".bmp"))
            .string();
    const Bytes bytes = form == 1 ? MakeFile(8, true) : MakeFile(form, false);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::atexit([] {
      for (const auto& entry : paths) std::filesystem::remove(entry.second);
    });
  }
  return path;
}

/// Arg: 1 RLE8, else the depth; the second arg 1 reads with the widened
/// reader, 0 with the narrow one (which takes only plain 8 bits).
void BM_ReadBmp(benchmark::State& state) {
  const std::string& path = FileFor(static_cast<int>(state.range(0)));
  const DWORD flags = state.range(1) ? ZENTREL_READ_BMP_VARIANTS : 0;
  for (auto _ : state) {
    CImageDataModel image;
    if (!image.ReadBMPImage(path.c_str(), flags)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.GetBuffer());
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReadBmp)
    ->Args({8, 0})
    ->Args({8, 1})
    ->Args({4, 1})
    ->Args({1, 1})
    ->Args({16, 1})
    ->Args({32, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
