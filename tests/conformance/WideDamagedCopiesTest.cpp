// The widened readers on every suite file cut short and with bytes of its
// headers overwritten, and on the fuzzer-made GIF files as they are: each
// read is refused with a note and an empty record, or loads a sound image
// whose every pixel can be read. Run under the sanitizers it shows that no
// read strays outside its buffers.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"bmpsuite/g", "bmpsuite/q", "bmpsuite/b", "bmpsuite/x",
                             "gif-test-suite/gifs", "libnsgif/data", "libnsgif/afl"})
    for (const auto& entry : fs::directory_iterator(zt::TestDataPath(folder)))
      if (entry.is_regular_file() &&
          (entry.path().extension() == ".bmp" || entry.path().extension() == ".gif"))
        files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

/// Damaged copies of a file: cut at eight lengths, and with one header byte
/// at a time set to 0x00 and 0xFF.
std::vector<Bytes> DamagedCopies(const Bytes& file) {
  std::vector<Bytes> copies;
  for (std::size_t part = 0; part < 8; ++part)
    copies.emplace_back(file.begin(),
                        file.begin() + static_cast<std::ptrdiff_t>(file.size() * part / 8));
  for (std::size_t at = 6; at < std::min<std::size_t>(file.size(), 70); at += 3)
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
      copies.push_back(file);
      copies.back()[at] = value;
    }
  return copies;
}

/// Reads one file with the widened readers; an empty string when all is
/// well, else what is wrong.
std::string CheckRead(const std::string& path) {
  CImageDataModel image;
  image.SetReadLimit(64u << 20);
  const int result = image.ReadImage(path.c_str(), ZENTREL_READ_WIDE);
  const int note = image.GetLastReadNote();
  if (result == 0) {
    if (!image.IsEmpty()) return "refused but not empty";
    if (note == ZENTREL_NOTE_NONE || note == ZENTREL_NOTE_TRUNCATED)
      return "refused without a note";
    return "";
  }
  if (note != ZENTREL_NOTE_NONE && note != ZENTREL_NOTE_TRUNCATED &&
      note != ZENTREL_NOTE_DAMAGED_DATA)
    return "loaded with a refusal's note";
  const int bits = image.GetColorPixel();
  if ((bits != 8 && bits != 24) || image.GetWidth() == 0 || image.GetHeight() == 0)
    return "loaded an unsound image";
  if (image.GetLineBytes() != (image.GetWidth() * static_cast<UINT>(bits) + 31) / 32 * 4)
    return "wrong row length";
  COLORREF mix = 0;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) mix ^= image.GetPixel(x, y);
  return (mix >> 24) == 0 ? "" : "a colour with a top byte";
}

TEST(WideDamagedCopies, EveryReadIsRefusedWithANoteOrLoadsASoundImage) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  zt::MessageCapture quiet;
  // Rewriting one file thousands of times is slow on a disk that flushes a
  // truncated file on close: memory is used where the system offers it.
  zt::TempDir dir;
  std::string path = dir.File("copy");
  char shm[] = "/dev/shm/zentrel-damaged-XXXXXX";
  const bool inMemory = fs::is_directory("/dev/shm") && ::mkdtemp(shm) != nullptr;
  if (inMemory) path = std::string(shm) + "/copy";
  long reads = 0;
  for (const std::string& file : SuiteFiles()) {
    const Bytes bytes = zt::ReadFileBytes(file);
    std::vector<Bytes> copies{bytes};
    if (file.find("/afl/") == std::string::npos) {
      const std::vector<Bytes> damaged = DamagedCopies(bytes);
      copies.insert(copies.end(), damaged.begin(), damaged.end());
    }
    for (std::size_t i = 0; i < copies.size(); ++i) {
      ASSERT_TRUE(zt::WriteFileBytes(path, copies[i]));
      const std::string wrong = CheckRead(path);
      ++reads;
      EXPECT_EQ(wrong, "") << file << " copy " << i;
    }
  }
  EXPECT_GT(reads, 3000);
  if (inMemory) fs::remove_all(shm);
}

}  // namespace
