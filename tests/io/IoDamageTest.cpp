// Damaged copies of every PNG and TIFF test file, and of PNM files, read
// from memory: each read either loads an image the record can hold or is
// refused with a reason and an empty record (the sanitizer build checks
// that nothing is read outside a buffer or leaked on the way).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> paths;
  for (const char* folder : {"pngsuite", "libtiffpic"}) {
    const fs::path root = zt::TestDataPath(folder);
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".png" || ext == ".tif"))
        paths.push_back(entry.path());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Cut short at several places, and bytes overwritten at spread positions.
std::vector<std::vector<std::uint8_t>> Damaged(const std::vector<std::uint8_t>& bytes,
                                               std::uint32_t seed) {
  std::vector<std::vector<std::uint8_t>> out;
  for (std::size_t keep : {std::size_t(9), std::size_t(40), bytes.size() / 3, bytes.size() - 1})
    if (keep < bytes.size()) out.emplace_back(bytes.begin(), bytes.begin() + long(keep));
  for (int copy = 0; copy < 3; ++copy) {
    std::vector<std::uint8_t> d = bytes;
    for (int i = 0; i < 4 && d.size() > 8; ++i) {
      seed = seed * 1103515245u + 12345u;
      d[8 + (seed >> 4) % (d.size() - 8)] ^= static_cast<std::uint8_t>(1u << (seed % 8)) | 0x40;
    }
    out.push_back(std::move(d));
  }
  return out;
}

void ExpectSoundOutcome(const std::vector<std::uint8_t>& bytes, const std::string& what) {
  // A host reading files it does not trust sets a read limit; damaged
  // headers then cannot claim gigabytes.
  constexpr DWORD kLimit = 64u << 20;
  CImageDataModel image;
  image.SetReadLimit(kLimit);
  const zentrel::io::Status status =
      zentrel::io::ReadImageFromMemory(bytes.data(), bytes.size(), image);
  if (status) {
    EXPECT_TRUE(image.GetColorPixel() == 8 || image.GetColorPixel() == 24) << what;
    EXPECT_LE(std::uint64_t{image.GetLineBytes()} * (image.GetHeight() + 1), kLimit) << what;
  } else {
    EXPECT_FALSE(status.reason.empty()) << what;
    EXPECT_TRUE(image.IsEmpty()) << what;
  }
}

TEST(IoDamage, DamagedCopiesOfEveryTestFileLoadOrAreRefusedCleanly) {
  const std::vector<std::string> paths = SuiteFiles();
  if (paths.empty()) GTEST_SKIP() << "test data not found";
  std::uint32_t seed = 1;
  for (const std::string& path : paths) {
    const std::vector<std::uint8_t> bytes = zt::ReadFileBytes(path);
    int n = 0;
    for (const std::vector<std::uint8_t>& d : Damaged(bytes, seed++))
      ExpectSoundOutcome(d, path + " variant " + std::to_string(n++));
  }
}

TEST(IoDamage, DamagedPnmHeadersAndDataAndPamRefusedCleanly) {
  const char* cases[] = {"P1\n3 2\n1 0 1\n0 1",
                         "P2\n2 2\n255\n1 2 3",
                         "P3\n1 1\n255\n1 2",
                         "P4\n9 2\n\x01",
                         "P5\n4 4\n255\nab",
                         "P6\n1 1\n70000\nabcdef",
                         "P5\n99999 99999\n255\n",
                         "P5\n-3 2\n255\nab",
                         "P6\n0 5\n255\n",
                         "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 9\nMAXVAL 255\nENDHDR\n",
                         "P7\nWIDTH 2\nHEIGHT 1\nENDHDR\n",
                         "P2\n2 1\n3\n1 9"};
  for (const char* text : cases) {
    const std::string s(text);
    ExpectSoundOutcome(std::vector<std::uint8_t>(s.begin(), s.end()), s);
    CImageDataModel image;
    EXPECT_FALSE(zentrel::io::ReadImageFromMemory(reinterpret_cast<const std::uint8_t*>(s.data()),
                                                  s.size(), image))
        << s;
  }
}

}  // namespace
