// Leaks: the leak checker really runs in the sanitizer build, and the
// readers release everything on each of their failure paths: every
// allocation refused in turn, and damaged copies of real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <thread>

#include "RobustSupport.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define ZT_LEAK_CHECKER 1
#endif

namespace {

using robust::Bytes;

#ifdef ZT_LEAK_CHECKER
constexpr std::uintptr_t kHide = 0x5A5A5A5A5A5A5A5Aull;

/// A record holding an image, whose only trace is a scrambled address:
/// unreachable for the leak checker until it is unscrambled.
__attribute__((noinline)) std::uintptr_t HiddenRecord() {
  CImageDataModel* record = new CImageDataModel;
  record->InitImage(31, 17, 24);
  return reinterpret_cast<std::uintptr_t>(record) ^ kHide;
}
#endif

// The suite's leak verdicts mean something only if the checker runs: a
// block lost on purpose must be reported (the report it prints is expected).
TEST(Leaks, TheLeakCheckerReportsALostBlock) {
#ifdef ZT_LEAK_CHECKER
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "a leak before the test";
  // Made on a thread that is gone by the check, so that no register or
  // stack slot of this one still holds the address.
  std::uintptr_t hidden = 0;
  std::thread([&hidden] { hidden = HiddenRecord(); }).join();
  EXPECT_NE(__lsan_do_recoverable_leak_check(), 0) << "the leak checker is not running";
  delete reinterpret_cast<CImageDataModel*>(hidden ^ kHide);
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#else
  GTEST_SKIP() << "no leak checker in this build";
#endif
}

/// Reads path with each allocation refused in turn, until a read meets no
/// refusal; a refused read must leave the record empty. Returns how many
/// allocations the complete read made.
template <typename Read>
long RefuseEachAllocation(Read read) {
  for (long n = 1; n < 100; ++n) {
    CImageDataModel image;
    int result = 0;
    bool triggered = false;
    {
      zt::FailNthAllocation fail(n);
      result = read(image);
      triggered = fail.Triggered();
    }
    if (!triggered) {
      EXPECT_EQ(result, 1);
      return n - 1;
    }
    EXPECT_EQ(result, 0) << "allocation " << n;
    EXPECT_EQ(image.IsEmpty(), 1) << "allocation " << n;
  }
  ADD_FAILURE() << "the read never completed";
  return -1;
}

TEST(Leaks, EveryAllocationFailureOfTheBmpReaderLeavesNothingBehind) {
  zt::TempDir dir;
  for (int bits : {8, 24}) {
    CImageDataModel source;
    robust::MakePatterned(source, 13, 6, bits);
    const std::string path = dir.File("a.bmp");
    ASSERT_EQ(source.SaveBMPImage(path.c_str()), 1);
    const long made = RefuseEachAllocation(
        [&](CImageDataModel& image) { return image.ReadBMPImage(path.c_str()); });
    EXPECT_GE(made, 1) << bits;
  }
}

// A 4 × 1 GIF of four colours, indices 1 1 1 2.
const Bytes kTinyGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x01, 0x00, 0x81,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                        0x00, 0x00, 0xFF, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01,
                        0x00, 0x00, 0x02, 0x02, 0x8C, 0x55, 0x00, 0x3B};

TEST(Leaks, EveryAllocationFailureOfTheGifReaderLeavesNothingBehind) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("a.gif"), kTinyGif));
  zt::MessageCapture quiet;
  const long made = RefuseEachAllocation(
      [&](CImageDataModel& image) { return image.ReadGIFImage(dir.File("a.gif").c_str()); });
  EXPECT_GE(made, 2);  // the result block and the data buffer at least
}

/// Damaged copies of a file: cut at lengths spread over the file, and with
/// bytes overwritten at random places (the same places every run).
std::vector<Bytes> DamagedCopies(const Bytes& whole, std::uint32_t seed) {
  std::vector<Bytes> copies;
  for (int i = 0; i < 12; ++i)
    copies.emplace_back(whole.begin(), whole.begin() + whole.size() * i / 12);
  std::mt19937 random(seed);
  for (int i = 0; i < 12 && !whole.empty(); ++i) {
    Bytes copy = whole;
    const int changes = 1 + i % 4;
    for (int c = 0; c < changes; ++c) {
      // Mostly the headers, where the decisions are made.
      const std::size_t limit = std::min<std::size_t>(copy.size(), i % 2 ? 64 : copy.size());
      copy[random() % limit] = static_cast<std::uint8_t>(random());
    }
    copies.push_back(std::move(copy));
  }
  return copies;
}

std::vector<std::string> FilesBelow(const std::string& folder, const std::string& extension) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() == extension)
      paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

/// True for a BMP whose header claims more than 2^22 pixels: such copies are
/// left out, as loading them would fill up to 2 GiB each (the large images
/// have tests of their own).
bool ClaimsHugeBmp(const Bytes& file) {
  if (file.size() < 26) return false;
  auto at = [&](std::size_t i) {
    return static_cast<std::int32_t>(file[i] | file[i + 1] << 8 | file[i + 2] << 16 |
                                     static_cast<std::uint32_t>(file[i + 3]) << 24);
  };
  return std::int64_t{at(18)} * at(22) > (1 << 22);
}

// Under the sanitizers, the leak check at exit covers each of these reads.
TEST(Leaks, DamagedCopiesOfTheBmpSuiteLoadOrAreRefusedCleanly) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  zt::TempDir dir;
  const std::vector<std::string> files = FilesBelow(zt::TestDataPath("bmpsuite"), ".bmp");
  ASSERT_EQ(files.size(), 91u);
  int loaded = 0;
  int refused = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    for (const Bytes& copy : DamagedCopies(zt::ReadFileBytes(files[f]), 1000 + f)) {
      if (ClaimsHugeBmp(copy)) continue;
      ASSERT_TRUE(zt::WriteFileBytes(dir.File("copy.bmp"), copy));
      CImageDataModel image;
      const int result = image.ReadBMPImage(dir.File("copy.bmp").c_str());
      ASSERT_TRUE(result == 0 || result == 1) << files[f];
      EXPECT_EQ(image.IsEmpty(), result == 0 ? 1 : 0) << files[f];
      (result ? loaded : refused) += 1;
    }
  }
  // Both outcomes occur, so both paths were taken.
  EXPECT_GT(loaded, 100);
  EXPECT_GT(refused, 100);
}

}  // namespace

namespace {

// The fuzzer-made files of the suite are all refused by the header rules;
// made readable, their damaged streams reach the decoder.
TEST(Leaks, DamagedGifFilesLoadOrAreRefusedCleanly) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  zt::TempDir dir;
  std::vector<std::string> files = FilesBelow(zt::TestDataPath("libnsgif"), ".gif");
  for (const std::string& f : FilesBelow(zt::TestDataPath("gif-test-suite"), ".gif"))
    files.push_back(f);
  ASSERT_GT(files.size(), 290u);
  zt::MessageCapture messages;
  int loaded = 0;
  int refused = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const Bytes original = zt::ReadFileBytes(files[f]);
    const Bytes readable = robust::ReadableGif(original);
    std::vector<Bytes> copies = DamagedCopies(readable, 2000 + f);
    copies.push_back(original);
    copies.push_back(readable);
    for (const Bytes& copy : copies) {
      if (copy.size() >= 10 &&
          std::int64_t{copy[6] | copy[7] << 8} * (copy[8] | copy[9] << 8) > (1 << 22))
        continue;  // a huge screen: filling it is the large tests' work
      ASSERT_TRUE(zt::WriteFileBytes(dir.File("copy.gif"), copy));
      const std::size_t shown = messages.texts().size();
      CImageDataModel image;
      const int result = image.ReadGIFImage(dir.File("copy.gif").c_str());
      ASSERT_TRUE(result == 0 || result == 1) << files[f];
      EXPECT_EQ(image.IsEmpty(), result == 0 ? 1 : 0) << files[f];
      EXPECT_LE(messages.texts().size(), shown + (result == 0 ? 1 : 0)) << files[f];
      (result ? loaded : refused) += 1;
    }
  }
  EXPECT_GT(loaded, 1000);
  EXPECT_GT(refused, 100);
}

}  // namespace
