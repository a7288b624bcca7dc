// The public PNG and TIFF suites read through Zentrel::IO: every file that
// loads is compared with libpng or libtiff, every refusal needs a reason,
// and the verdict table must be the one in docs/conformance.md. Set
// ZENTREL_IO_CONFORMANCE_OUT to a path to write the table.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "IoOracles.h"
#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using zentrel::io::ReadImage;

std::vector<std::string> Files(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  const fs::path root = zt::TestDataPath(folder);
  if (!fs::is_directory(root)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().extension() == extension)
      names.push_back(fs::relative(entry.path(), root).string());
  std::sort(names.begin(), names.end());
  return names;
}

// How far libtiff's RGBA rendering may differ from the record: libtiff
// takes the high byte of 16-bit samples and colour-map entries and
// truncates when it scales 6-bit samples, where the record rounds
// ((v + 128) / 257); it converts the YCbCr of JPEG-compressed files with its
// own arithmetic.
int TiffTolerance(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return 0;
  std::uint16_t bits = 8, compression = 1, photometric = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFClose(tif);
  if (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) return 8;
  if (photometric == PHOTOMETRIC_PALETTE || bits > 8) return 1;
  return 255 % ((1 << bits) - 1) == 0 ? 0 : 1;
}

// The picture of the depth/ folder at N bits that libtiff's RGBA interface
// does not take (2/4-bit RGB, 10 to 14-bit samples) is checked against the
// same picture at 8 bits, which it does take, within one N-bit step.
bool SiblingReference(const std::string& name, std::string& sibling, int& tolerance) {
  const std::size_t dash = name.rfind('-');
  if (name.rfind("depth/", 0) != 0 || dash == std::string::npos) return false;
  const int bits = std::atoi(name.c_str() + dash + 1);
  if (bits < 1 || bits > 16) return false;
  sibling = name.substr(0, dash + 1) + "08.tif";
  tolerance = 255 / ((1 << bits) - 1) + 1;  // one quantisation step
  return true;
}

struct Row {
  std::string name, verdict, detail;
};

std::string Table(const std::vector<Row>& rows) {
  std::string t = "| File | Result | Reason or check |\n|---|---|---|\n";
  for (const Row& r : rows) t += "| `" + r.name + "` | " + r.verdict + " | " + r.detail + " |\n";
  return t;
}

void CheckDocument(const std::string& table) {
  if (const char* out = std::getenv("ZENTREL_IO_CONFORMANCE_OUT")) {
    std::ofstream(out, std::ios::app) << table << "\n";
  }
  const std::vector<std::uint8_t> bytes =
      zt::ReadFileBytes(std::string(ZENTREL_SOURCE_DIR) + "/docs/conformance.md");
  const std::string doc(bytes.begin(), bytes.end());
  EXPECT_NE(doc.find(table), std::string::npos)
      << "docs/conformance.md does not hold this table; write it with "
         "ZENTREL_IO_CONFORMANCE_OUT:\n"
      << table;
}

TEST(IoSuite, PngSuiteMatchesLibpngWithAlphaOverWhiteAndSampleScaleRoundingCorruptFilesRefused) {
  const std::vector<std::string> names = Files("pngsuite", ".png");
  if (names.empty()) GTEST_SKIP() << "PngSuite not found";
  std::vector<Row> refused;
  int loaded = 0;
  for (const std::string& name : names) {
    const std::string path = zt::TestDataPath("pngsuite/" + name);
    CImageDataModel image;
    const zentrel::io::Status status = ReadImage(path, image);
    const bool corrupt = name[0] == 'x';
    if (status) {
      EXPECT_FALSE(corrupt) << name << " is corrupt but loaded";
      EXPECT_EQ(iot::MaxDifference(iot::FromRecord(image), iot::DecodeWithLibpng(path)), 0) << name;
      EXPECT_EQ(image.GetColorPixel() == 8 ? 8 : 24, image.GetColorPixel()) << name;
      ++loaded;
    } else {
      EXPECT_TRUE(corrupt) << name << ": " << status.reason;
      EXPECT_FALSE(status.reason.empty()) << name;
      EXPECT_TRUE(image.IsEmpty()) << name;
      refused.push_back({name, "refused", status.reason});
    }
  }
  Row summary{"(the other " + std::to_string(loaded) + " files)", "load",
              "pixels equal to libpng's, alpha over white"};
  refused.push_back(summary);
  CheckDocument("PngSuite:\n\n" + Table(refused));
}

TEST(IoSuite, LibtiffPicturesMatchLibtiffWithinTiffColormapRoundingOrAreRefusedWithAReason) {
  const std::vector<std::string> names = Files("libtiffpic", ".tif");
  if (names.empty()) GTEST_SKIP() << "libtiffpic not found";
  std::vector<Row> rows;
  for (const std::string& name : names) {
    const std::string path = zt::TestDataPath("libtiffpic/" + name);
    CImageDataModel image;
    const zentrel::io::Status status = ReadImage(path, image);
    if (!status) {
      EXPECT_FALSE(status.reason.empty()) << name;
      EXPECT_TRUE(image.IsEmpty()) << name;
      rows.push_back({name, "refused", status.reason});
      continue;
    }
    iot::Picture reference = iot::DecodeWithLibtiff(path);
    int tolerance = TiffTolerance(path);
    std::string against = "libtiff's RGBA";
    std::string sibling;
    if (reference.empty() && SiblingReference(name, sibling, tolerance)) {
      reference = iot::DecodeWithLibtiff(zt::TestDataPath("libtiffpic/" + sibling));
      against = "libtiff's RGBA of `" + sibling.substr(sibling.rfind('/') + 1) + "`";
    }
    const int difference = iot::MaxDifference(iot::FromRecord(image), reference);
    EXPECT_LE(difference, tolerance) << name;
    rows.push_back(
        {name, std::to_string(image.GetColorPixel()) + "-bit",
         (tolerance == 0 ? "equal to " : "within " + std::to_string(tolerance) + " of ") +
             against});
  }
  CheckDocument("TIFF library sample pictures:\n\n" + Table(rows));
}

}  // namespace
