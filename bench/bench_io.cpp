// Zentrel::IO reading and writing a 4000 × 3000 map-like image (flat areas,
// lines, speckle) as PNG, TIFF (Deflate, LZW) and PPM, at 8 and 24 bits,
// next to the core library's BMP reading and writing of the same image in
// the same run; throughput in Mpixels/s (items) and file MB/s (bytes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "ImageDataModel.h"

#ifdef ZENTREL_BENCH_HAVE_IO
#include "ZentrelIO.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
using zentrel::io::OutputFormat;
using zentrel::io::TiffCompression;

// Formats by benchmark argument: 0 BMP (core), 1 PNG, 2 TIFF Deflate,
// 3 TIFF LZW, 4 PPM.
const char* const kNames[] = {"bmp", "png", "tif-deflate", "tif-lzw", "ppm"};

void MakeSheet(CImageDataModel& image, int bits) {
  image.InitImage(kWidth, kHeight, bits);
  RGBQUAD* table = image.GetPalette();
  if (bits == 8)
    for (int i = 0; i < 256; ++i) table[i] = RGBQUAD{BYTE(i * 7), BYTE(i * 13), BYTE(i * 29), 0};
  std::uint32_t seed = 5;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      int v = ((x / 200 + y / 150) % 6) * 40;      // flat areas
      if (x % 97 == 0 || y % 89 == 0) v = 250;     // lines
      if ((seed >> 16) % 50 == 0) v = seed >> 24;  // speckle
      if (bits == 24)
        image.SetPixel(x, y, RGB(v, 255 - v, v / 2));
      else
        image.GetBuffer()[static_cast<std::size_t>(kHeight - 1 - y) * image.GetLineBytes() + x] =
            static_cast<BYTE>(v);
    }
}

class Files {
 public:
  static Files& Get() {
    static Files files;
    return files;
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  std::string Path(int format, int bits) {
    const std::string path = m_folder + "/sheet" + std::to_string(bits) + "." + kNames[format];
    if (!std::filesystem::exists(path)) Write(format, bits, path);
    return path;
  }
  CImageDataModel& Sheet(int bits) {
    CImageDataModel& image = bits == 8 ? m_sheet8 : m_sheet24;
    if (image.IsEmpty()) MakeSheet(image, bits);
    return image;
  }
  bool Write(int format, int bits, const std::string& path) {
    CImageDataModel& image = Sheet(bits);
    switch (format) {
      case 0:
        return image.SaveBMPImage(path.c_str()) == 1;
      case 1:
        return bool(zentrel::io::WriteImage(image, path, OutputFormat::PNG));
      case 2:
        return bool(zentrel::io::WriteImage(image, path, OutputFormat::TIFF));
      case 3:
        return bool(zentrel::io::WriteImage(image, path, OutputFormat::TIFF, TiffCompression::LZW));
      default:
        return bool(zentrel::io::WriteImage(image, path, OutputFormat::PPM));
    }
  }

 private:
  Files() {
    const char* tmp = std::getenv("TMPDIR");
    m_folder =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/zentrel-bench-io-" + std::to_string(::getpid());
    std::filesystem::create_directories(m_folder);
  }
  std::string m_folder;
  CImageDataModel m_sheet8, m_sheet24;
};

void Report(benchmark::State& state, int format, int bits, const std::string& path) {
  state.SetLabel(std::string(kNames[format]) + " " + std::to_string(bits) + "-bit, " +
                 std::to_string(std::filesystem::file_size(path) / 1000) + " kB");
  state.SetItemsProcessed(state.iterations() * std::int64_t{kWidth} * kHeight);
  state.SetBytesProcessed(state.iterations() * std::int64_t(std::filesystem::file_size(path)));
}

void BM_Read(benchmark::State& state) {
  const int format = static_cast<int>(state.range(0)), bits = static_cast<int>(state.range(1));
  const std::string path = Files::Get().Path(format, bits);
  for (auto _ : state) {
    CImageDataModel image;
    const bool ok = format == 0 ? image.ReadBMPImage(path.c_str()) == 1
                                : bool(zentrel::io::ReadImage(path, image));
    if (!ok) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.GetBuffer());
  }
  Report(state, format, bits, path);
}

void BM_Write(benchmark::State& state) {
  const int format = static_cast<int>(state.range(0)), bits = static_cast<int>(state.range(1));
  const std::string path = Files::Get().Path(format, bits);
  for (auto _ : state)
    if (!Files::Get().Write(format, bits, path)) state.SkipWithError("write failed");
  Report(state, format, bits, path);
}

BENCHMARK(BM_Read)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {8, 24}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Write)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {8, 24}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
#endif

BENCHMARK_MAIN();
