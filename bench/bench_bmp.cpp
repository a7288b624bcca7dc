// BMP reading and saving of an 8000 × 8000 image at 24 and 8 bits, next to
// plain POSIX reads and writes of the same number of bytes in the same run,
// all in MB/s (10^6 bytes per second of wall time).
//
// The files live in a fresh folder under the system's temporary folder. A
// save ends with the data flushed to the storage device, so the write
// baseline is given both with the same flush (the fair comparison) and
// without it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ImageDataModel.h"

namespace {

constexpr int kSide = 8000;

/// A temporary folder holding one saved BMP file per depth, made on first
/// use and removed at exit.
class BenchFiles {
 public:
  static BenchFiles& Get() {
    static BenchFiles files;
    return files;
  }
  ~BenchFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  const std::string& folder() const { return m_folder; }
  /// The path of a saved bits-deep image, and its size in bytes.
  const std::string& Source(int bits, std::size_t* bytes) {
    std::string& path = m_sources[bits];
    if (path.empty()) {
      path = m_folder + "/source" + std::to_string(bits) + ".bmp";
      CImageDataModel image;
      if (!image.InitImage(kSide, kSide, bits)) std::abort();
      const std::size_t area = std::size_t{image.GetLineBytes()} * image.GetHeight();
      for (std::size_t i = 0; i < area; ++i) image.GetBuffer()[i] = static_cast<BYTE>(i * 7 + 1);
      if (!image.SaveBMPImage(path.c_str())) std::abort();
    }
    *bytes = std::filesystem::file_size(path);
    return path;
  }

 private:
  BenchFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zentrel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    m_folder = pattern;
  }
  std::string m_folder;
  std::map<int, std::string> m_sources;
};

void ReportRate(benchmark::State& state, std::size_t bytes) {
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(bytes) / 1e6,
                         benchmark::Counter::kIsRate);
}

void BM_ReadBMPImage(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string& path = BenchFiles::Get().Source(static_cast<int>(state.range(0)), &bytes);
  for (auto _ : state) {
    CImageDataModel image;
    if (!image.ReadBMPImage(path.c_str())) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.GetBuffer());
  }
  ReportRate(state, bytes);
}

/// The baseline: allocate a buffer of the file's size and read the file
/// into it with read(2).
void BM_PosixRead(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string& path = BenchFiles::Get().Source(static_cast<int>(state.range(0)), &bytes);
  for (auto _ : state) {
    std::unique_ptr<char[]> buffer(new char[bytes]);
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t done = 0;
    while (done < bytes) {
      const ssize_t n = ::read(fd, buffer.get() + done, bytes - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done != bytes) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buffer.get());
  }
  ReportRate(state, bytes);
}

void BM_SaveBMPImage(benchmark::State& state) {
  std::size_t bytes = 0;
  const std::string& source = BenchFiles::Get().Source(static_cast<int>(state.range(0)), &bytes);
  CImageDataModel image;
  if (!image.ReadBMPImage(source.c_str())) std::abort();
  const std::string target = BenchFiles::Get().folder() + "/saved.bmp";
  // One untimed save first: the first large writes of a process run
  // markedly slower, whichever code makes them.
  if (!image.SaveBMPImage(target.c_str())) std::abort();
  ::sync();  // start with no write-back left over from earlier benchmarks
  for (auto _ : state)
    if (!image.SaveBMPImage(target.c_str())) state.SkipWithError("save failed");
  ReportRate(state, bytes);
}

/// The baseline: write the same number of bytes to a file with write(2),
/// flushing it with fsync(2) when state.range(1) is 1.
void BM_PosixWrite(benchmark::State& state) {
  std::size_t bytes = 0;
  BenchFiles::Get().Source(static_cast<int>(state.range(0)), &bytes);
  std::unique_ptr<char[]> buffer(new char[bytes]);
  for (std::size_t i = 0; i < bytes; ++i) buffer[i] = static_cast<char>(i * 7 + 1);
  const std::string target = BenchFiles::Get().folder() + "/plain.bmp";
  const bool flush = state.range(1) == 1;
  auto writeOnce = [&] {
    const int fd = ::open(target.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    std::size_t done = 0;
    while (done < bytes) {
      const ssize_t n = ::write(fd, buffer.get() + done, bytes - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (flush) ::fsync(fd);
    ::close(fd);
    return done == bytes;
  };
  if (!writeOnce()) std::abort();  // untimed, as for the save
  ::sync();
  for (auto _ : state)
    if (!writeOnce()) state.SkipWithError("write failed");
  ReportRate(state, bytes);
}

BENCHMARK(BM_ReadBMPImage)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PosixRead)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
// Writes are timed over several iterations each, so that the occasional
// stall of the system's write-back does not decide a single-iteration figure.
constexpr int kWriteIterations = 8;
BENCHMARK(BM_SaveBMPImage)
    ->Arg(24)
    ->Arg(8)
    ->Iterations(kWriteIterations)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PosixWrite)
    ->ArgNames({"bits", "fsync"})
    ->Args({24, 1})
    ->Args({8, 1})
    ->Args({24, 0})
    ->Args({8, 0})
    ->Iterations(kWriteIterations)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
