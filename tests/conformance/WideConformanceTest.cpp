// Every file of the public BMP and GIF suites read by the widened readers
// (ReadImage with ZENTREL_READ_WIDE, format by content): each BMP file of
// g/ must load and show the suite's reference rendering, each of q/ loads
// (checked against its rendering where the suite has one) or is refused
// with a note, each of b/ is refused cleanly or loads safely; each GIF file
// must give giflib's first frame and transparent index. The table printed is
// the widened section of docs/conformance.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "GiflibOracle.h"
#include "PngRendering.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct WideVerdict {
  std::string name;
  bool loaded = false;
  std::string why;
  bool ok = true;
};

std::vector<std::string> Files(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(zt::TestDataPath(folder)))
    if (entry.is_regular_file() && entry.path().extension() == extension)
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// The suite's rendering of a BMP file: its own, the one showing skipped
/// pixels as index 0, or that of the picture it encodes another way.
std::string WideReference(const std::string& stem) {
  const std::string html = zt::TestDataPath("bmpsuite/html/");
  for (const std::string& name : {stem + "-0.png", stem + ".png"})
    if (fs::exists(html + name)) return name;
  static const std::vector<std::pair<std::string, std::string>> kFamilies = {
      {"pal8nonsquare", "pal8nonsquare-e.png"},
      {"pal8", "pal8.png"},
      {"pal4", "pal4.png"},
      {"pal1", "pal1.png"},
      {"rgb16-565", "rgb16-565.png"},
      {"rgb16", "rgb16.png"},
      {"rgb24", "rgb24.png"},
      {"rgb32fakealpha", "fakealpha.png"},
      {"rgb32", "rgb24.png"},
      {"rgba32", "rgba32.png"}};
  for (const auto& [prefix, png] : kFamilies)
    if (stem.rfind(prefix, 0) == 0) return png;
  return "";
}

/// Files of q/ whose pixels may differ from their rendering, and why. The
/// reader takes pixels as stored: no colour profile, no alpha.
const std::map<std::string, std::string>& KnownDifferences() {
  static const std::map<std::string, std::string> kKnown = {
      {"rgb24prof2", "red and green exchanged as stored (no colour profile applied)"},
  };
  return kKnown;
}

/// Compares the loaded image with a rendering, over its opaque pixels only
/// (alpha is ignored by the reader). Returns the differing pixel count, −1
/// for another size; opaque counts the compared pixels, maxDelta is the
/// largest difference of one channel.
long Compare(const CImageDataModel& image, const std::string& png, long& opaque, int& maxDelta) {
  const zt::Rendering want = zt::ReadPng(zt::TestDataPath("bmpsuite/html/" + png), true);
  if (want.width != image.GetWidth() || want.height != image.GetHeight()) return -1;
  long wrong = 0;
  opaque = 0;
  maxDelta = 0;
  for (UINT y = 0; y < want.height; ++y)
    for (UINT x = 0; x < want.width; ++x) {
      const std::uint8_t* p = &want.rgb[4 * (std::size_t{y} * want.width + x)];
      if (p[3] != 255) continue;
      ++opaque;
      const COLORREF got = image.GetPixel(x, y);
      wrong += got != RGB(p[0], p[1], p[2]);
      maxDelta = std::max({maxDelta, std::abs(GetRValue(got) - p[0]),
                           std::abs(GetGValue(got) - p[1]), std::abs(GetBValue(got) - p[2])});
    }
  return wrong;
}

std::string NoteWords(const CImageDataModel& image) {
  return std::string("note ") + std::to_string(image.GetLastReadNote()) + ", " +
         CImageDataModel::GetReadNoteText(image.GetLastReadNote());
}

/// The compression a refused file names in its header, in words; "" when
/// it names none the reader lacks.
std::string CompressionOf(const Bytes& f) {
  if (f.size() < 34) return "";
  const std::uint32_t infoSize = f[14] | (f[15] << 8), method = f[30] | (f[31] << 8);
  if (infoSize == 64 && method == 3) return " (OS/2 Huffman)";
  if (infoSize == 64 && method == 4) return " (OS/2 RLE24)";
  if (method == 4) return " (embedded JPEG)";
  if (method == 5) return " (embedded PNG)";
  return "";
}

WideVerdict ReadBmpWide(const std::string& folder, const std::string& file) {
  WideVerdict v;
  v.name = "bmpsuite/" + folder + "/" + file;
  CImageDataModel image;
  v.loaded = image.ReadImage(zt::TestDataPath(v.name).c_str(), ZENTREL_READ_WIDE) == 1;
  const int note = image.GetLastReadNote();
  if (!v.loaded) {
    v.why = NoteWords(image);
    if (note == ZENTREL_NOTE_COMPRESSED)
      v.why += CompressionOf(zt::ReadFileBytes(zt::TestDataPath(v.name)));
    // g/ holds only valid files of common kinds: each must load.
    v.ok = folder != "g" && image.IsEmpty() && note != ZENTREL_NOTE_NONE &&
           note != ZENTREL_NOTE_TRUNCATED;
    return v;
  }
  const std::string extra = note == ZENTREL_NOTE_NONE ? "" : " (" + NoteWords(image) + ")";
  const std::string stem = file.substr(0, file.size() - 4);
  const std::string png = folder == "b" ? "" : WideReference(stem);
  if (png.empty()) {
    v.why = "loads safely; the suite gives no rendering" + extra;
    v.ok = folder != "g";
    return v;
  }
  long opaque = 0;
  int maxDelta = 0;
  const long wrong = Compare(image, png, opaque, maxDelta);
  const auto known = KnownDifferences().find(stem);
  if (wrong == 0) {
    v.why = "pixels match " + png +
            (opaque < long{image.GetWidth()} * long{image.GetHeight()}
                 ? " (its " + std::to_string(opaque) + " opaque pixels)"
                 : "") +
            extra;
  } else if (known != KnownDifferences().end() && folder == "q") {
    v.why = "differs from " + png + ": " + known->second + extra;
  } else if (wrong > 0 && maxDelta == 1 && folder == "q") {
    // Channels of unusual widths: the reader rounds each to the nearest
    // 8-bit value, the suite's rendering of these files does not always.
    v.why = "within 1 of " + png + " in every channel (" + std::to_string(wrong) +
            " pixels off by 1: channels rounded to the nearest 8-bit value)" + extra;
  } else {
    v.why = "PIXELS DIFFER FROM " + png + " (" + std::to_string(wrong) + ", by up to " +
            std::to_string(maxDelta) + ")" + extra;
    v.ok = false;
  }
  return v;
}

Bytes IndicesOf(const CImageDataModel& image) {
  Bytes indices;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x)
      indices.push_back(
          image.GetBuffer()[std::size_t{image.GetHeight() - 1 - y} * image.GetLineBytes() + x]);
  return indices;
}

std::vector<std::string> g_shown;
void Capture(const char* text, UINT) { g_shown.push_back(text); }

WideVerdict ReadGifWide(const std::string& relative) {
  WideVerdict v;
  v.name = relative;
  const std::string path = zt::TestDataPath(relative);
  const gift::GiflibFrame want = gift::DecodeWithGiflib(zt::ReadFileBytes(path));
  CImageDataModel image;
  g_shown.clear();
  v.loaded = image.ReadImage(path.c_str(), ZENTREL_READ_WIDE) == 1;
  if (!v.loaded) {
    v.why = NoteWords(image) + (want.ok ? "; GIFLIB DECODES IT" : "; giflib refuses it too");
    v.ok = !want.ok && image.IsEmpty();
    return v;
  }
  if (!want.ok) {
    v.why = "damaged data, decoded as far as it goes; giflib refuses it (no reference)";
    return v;
  }
  bool same = IndicesOf(image) == want.indices && image.GetTransparentIndex() == want.transparent;
  for (int i = 0; i < 256 && same; ++i) {
    const RGBQUAD q = image.GetPalette()[i];
    same = q.rgbRed == want.colours[3 * i] && q.rgbGreen == want.colours[3 * i + 1] &&
           q.rgbBlue == want.colours[3 * i + 2];
  }
  v.ok = same && g_shown.empty();
  const std::string transparency = want.transparent < 0
                                       ? "no transparent index"
                                       : "transparent index " + std::to_string(want.transparent);
  v.why = same ? "matches giflib's first frame (indices, colours, " + transparency + ")"
               : "DIFFERS FROM GIFLIB'S FIRST FRAME";
  return v;
}

std::string Row(const WideVerdict& v) {
  return "| `" + v.name + "` | " + (v.loaded ? "loads" : "refused") + " | " + v.why + " |\n";
}

TEST(WideConformance, EverySuiteFileLoadsAsItsReferenceOrIsRefusedWithANote) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  const MessageBoxHandler previous = SetMessageBoxHandler(&Capture);
  std::vector<WideVerdict> all;
  std::string table =
      "### BMP suite, widened reader\n\n"
      "| File | Result | Why, or checked against |\n|---|---|---|\n";
  for (const char* folder : {"g", "q", "b", "x"})
    for (const std::string& file : Files(std::string("bmpsuite/") + folder, ".bmp")) {
      all.push_back(ReadBmpWide(folder, file));
      table += Row(all.back());
    }
  table +=
      "\n### GIF test suite and GIF decoder test pictures, widened reader\n\n"
      "| File | Result | Why, or checked against |\n|---|---|---|\n";
  for (const char* folder : {"gif-test-suite/gifs", "libnsgif/data"})
    for (const std::string& file : Files(folder, ".gif")) {
      all.push_back(ReadGifWide(std::string(folder) + "/" + file));
      table += Row(all.back());
    }
  SetMessageBoxHandler(previous);
  for (const WideVerdict& v : all) EXPECT_TRUE(v.ok) << v.name << ": " << v.why;

  std::cout << table;
  if (const char* out = std::getenv("ZENTREL_WIDE_CONFORMANCE_OUT")) std::ofstream(out) << table;
  const Bytes docBytes =
      zt::ReadFileBytes(std::string(ZENTREL_SOURCE_DIR) + "/docs/conformance.md");
  EXPECT_NE(std::string(docBytes.begin(), docBytes.end()).find(table), std::string::npos)
      << "docs/conformance.md does not hold the widened table; regenerate it with "
         "ZENTREL_WIDE_CONFORMANCE_OUT=<file>";
}

}  // namespace
