// The reader against a plain reference kept here: for real, cut and
// scrambled files, the whole block it installs (header, colour table, pixel
// rows, spare row) must match, byte for byte, the block that InitImage plus
// straightforward copies of the file's bytes give.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "BmpTestFiles.h"
#include "support/TestSupport.h"

namespace {

using bmptest::Bytes;
using bmptest::U16At;
using bmptest::U32At;

/// The bytes of the record's whole block, or nothing when it is empty.
Bytes BlockOf(const CImageDataModel& image) {
  if (image.IsEmpty()) return {};
  const std::size_t size = 40 + 4 * std::size_t(image.GetImageColors()) +
                           std::size_t{image.GetLineBytes()} * (image.GetHeight() + 1);
  const auto* start = reinterpret_cast<const std::uint8_t*>(image.GetBmh());
  return Bytes(start, start + size);
}

/// The block the reader should install for file, or nothing for a file it
/// should refuse.
Bytes ReferenceBlock(const Bytes& file) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return {};
  const std::uint32_t offBits = U32At(file, 10);
  const std::uint32_t infoSize = U32At(file, 14);
  const auto width = static_cast<std::int32_t>(U32At(file, 18));
  const auto height = static_cast<std::int32_t>(U32At(file, 22));
  const std::uint16_t bits = U16At(file, 28);
  if ((bits != 8 && bits != 24) || U32At(file, 30) != 0 || infoSize < 40) return {};
  if (width <= 0 || height <= 0 || std::int64_t{width} * height > 50'000'000) return {};

  CImageDataModel image;
  if (!image.InitImage(width, height, bits)) return {};
  BITMAPINFOHEADER& h = *image.GetBmh();
  h.biPlanes = U16At(file, 26);
  h.biSizeImage = U32At(file, 34);
  h.biXPelsPerMeter = static_cast<LONG>(U32At(file, 38));
  h.biYPelsPerMeter = static_cast<LONG>(U32At(file, 42));
  h.biClrImportant = U32At(file, 50);
  const std::uint32_t clrUsed = U32At(file, 46);

  std::uint64_t entries = std::min<std::uint32_t>(clrUsed, 256);
  if (bits == 8 && entries == 0) entries = 256;
  const std::uint64_t tableAt = 14ull + infoSize;
  if (bits == 8) {
    auto* table = reinterpret_cast<std::uint8_t*>(image.GetPalette());
    for (std::uint64_t i = 0; i < 4 * entries && tableAt + i < file.size(); ++i)
      table[i] = file[tableAt + i];
  }
  const std::uint64_t tableEnd = tableAt + 4 * entries;
  const std::uint64_t pixelsAt = offBits < file.size() && offBits >= tableEnd ? offBits : tableEnd;
  const std::uint64_t area = std::uint64_t{image.GetLineBytes()} * image.GetHeight();
  for (std::uint64_t i = 0; i < area && pixelsAt + i < file.size(); ++i)
    image.GetBuffer()[i] = file[pixelsAt + i];
  return BlockOf(image);
}

/// Reads file with the library and checks it against the reference.
void ExpectSameAsReference(const zt::TempDir& dir, const Bytes& file, const std::string& what) {
  const std::string path = dir.File("in.bmp");
  ASSERT_TRUE(zt::WriteFileBytes(path, file));
  CImageDataModel image;
  const int result = image.ReadBMPImage(path);
  const Bytes expected = ReferenceBlock(file);
  EXPECT_EQ(result, expected.empty() ? 0 : 1) << what;
  EXPECT_TRUE(BlockOf(image) == expected) << what;
}

TEST(BmpReadDifferential, SuiteFilesMatchTheReference) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  zt::TempDir dir;
  int compared = 0;
  for (const char* folder : {"g", "q", "b", "x"})
    for (const auto& entry :
         std::filesystem::directory_iterator(zt::TestDataPath(std::string("bmpsuite/") + folder))) {
      ExpectSameAsReference(dir, zt::ReadFileBytes(entry.path().string()), entry.path().string());
      ++compared;
    }
  EXPECT_EQ(compared, 91);
}

TEST(BmpReadDifferential, FilesCutAtEveryLengthMatchTheReference) {
  zt::TempDir dir;
  bmptest::BmpParts eight = bmptest::Plain8(7, 3);
  eight.clrUsed = 5;
  eight.table = bmptest::PatternTable(5);
  eight.infoSize = 56;
  for (const bmptest::BmpParts& parts : {eight, bmptest::Plain24(5, 4)}) {
    const Bytes whole = bmptest::Encode(parts);
    for (std::size_t length = 0; length <= whole.size(); ++length)
      ExpectSameAsReference(dir, Bytes(whole.begin(), whole.begin() + length),
                            "cut at " + std::to_string(length));
  }
}

TEST(BmpReadDifferential, ScrambledHeadersMatchTheReference) {
  zt::TempDir dir;
  std::mt19937 random(20240611);
  const Bytes base8 = bmptest::Encode(bmptest::Plain8(9, 6));
  const Bytes base24 = bmptest::Encode(bmptest::Plain24(6, 5));
  // Fields whose values steer the reader: offsets, sizes, depth, counts.
  const std::size_t fields[] = {10, 11, 14, 15, 18, 22, 23, 28, 30, 46, 47, 48};
  for (int round = 0; round < 400; ++round) {
    Bytes file = round % 2 ? base8 : base24;
    const int changes = 1 + static_cast<int>(random() % 3);
    for (int c = 0; c < changes; ++c) {
      const std::size_t at = fields[random() % std::size(fields)];
      // Mostly small values, so that offsets and counts land near the data.
      file[at] = static_cast<std::uint8_t>(random() % 4 ? random() % 64 : random());
    }
    if (random() % 4 == 0) file.resize(random() % file.size());
    ExpectSameAsReference(dir, file, "round " + std::to_string(round));
  }
}

}  // namespace
