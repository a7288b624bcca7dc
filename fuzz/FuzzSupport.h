// Helpers shared by the fuzz targets: a temporary file that receives each
// input (the readers take paths, as a host's files reach them), silenced
// message boxes, and little-endian field reads of raw input bytes.
#ifndef ZENTREL_FUZZ_FUZZSUPPORT_H
#define ZENTREL_FUZZ_FUZZSUPPORT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImageDataModel.h"

namespace fuzz {

/// A private folder under $TMPDIR (or /tmp) for the files of one fuzzer
/// process, removed with its files when the process ends normally.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zentrel-fuzz-XXXXXX";
    if (::mkdtemp(&pattern[0]) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    m_path = pattern;
  }
  ~ScratchFolder() {
    for (const std::string& name : kNames) ::unlink(File(name).c_str());
    ::rmdir(m_path.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  /// The path of name inside the folder; name must be one of kNames, so
  /// that every file made is removed again.
  std::string File(const std::string& name) const { return m_path + "/" + name; }

  /// The file names the targets use.
  static constexpr const char* kNames[] = {"input.bmp", "input.gif", "input",      "input.BMP",
                                           "input.tif", "input.Gif", "input.tiff", "input.bmp.x",
                                           "saved.bmp", "reread.bmp"};

 private:
  std::string m_path;
};

/// Replaces the content of path with the bytes; aborts when it cannot, since
/// every later verdict would be about a stale file.
inline void WriteWhole(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

/// Counts message boxes instead of showing them.
inline int& MessageCount() {
  static int count = 0;
  return count;
}
inline void CountMessage(const char*, UINT) { ++MessageCount(); }

inline std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

/// Inputs whose images would hold more pixels than this are skipped: the
/// readers accept images up to a 2 GiB block, and filling such a block for
/// every mutated header would spend the fuzzing time in memset. The large
/// sizes have their own tests.
constexpr std::uint64_t kMaxFuzzPixels = 1u << 22;

/// Aborts with a message: an invariant of the library does not hold.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

}  // namespace fuzz

#endif  // ZENTREL_FUZZ_FUZZSUPPORT_H
