// Every file of the public BMP and GIF suites, read as a host reads it:
// what loads (with its pixels checked against the suite's reference
// rendering, or against giflib for GIF files) and what is refused, and why.
// The table it prints is docs/conformance.md's; the test fails when the
// two differ, when a file loads with wrong pixels, or when a refusal has no
// known reason. Set ZENTREL_CONFORMANCE_OUT to a path to write the table.
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

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

std::uint32_t Le16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t Le32(const Bytes& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

/// What happened to one file.
struct Verdict {
  std::string name;  // path below the test-data folder
  bool loaded = false;
  std::string why;  // the reason for a refusal, or what a load was checked against
  bool ok = true;   // false: wrong pixels, or a refusal without a known reason
};

// ---- References -------------------------------------------------------------

using zt::ReadPng;
using zt::Rendering;

using gift::DecodeWithGiflib;
using gift::GiflibFrame;

// ---- BMP files --------------------------------------------------------------

/// Why the reader refuses a BMP file, from its headers (every rule it
/// breaks); empty when the file is of a kind the reader loads.
std::string BmpRefusal(const Bytes& f) {
  if (f.size() < 2 || f[0] != 'B' || f[1] != 'M') {
    if (f.size() >= 2 && f[0] == 'B' && f[1] == 'A')
      return "begins with \"BA\" (an OS/2 bitmap array), not \"BM\"";
    return "does not begin with \"BM\"";
  }
  if (f.size() < 54) return "shorter than the 54 bytes of its headers";
  const std::uint32_t infoSize = Le32(f, 14);
  if (infoSize < 40)
    return "OS/2 header of " + std::to_string(infoSize) + " bytes (40 or more needed)";
  std::vector<std::string> reasons;
  const std::uint32_t bits = Le16(f, 28);
  const std::uint32_t compression = Le32(f, 30);
  // A JPEG or PNG inside gives its own depth (the field is 0).
  const bool embedded = compression == 4 || compression == 5;
  if (bits != 8 && bits != 24 && !(bits == 0 && embedded))
    reasons.push_back(std::to_string(bits) + "-bit pixels");
  if (compression != 0) {
    // Methods 3 and 4 mean Huffman and RLE24 in OS/2 files (64-byte header).
    const bool os2 = infoSize == 64;
    static const std::map<std::uint32_t, std::string> kMethods = {
        {1, "RLE8"}, {2, "RLE4"}, {3, "bit fields"},
        {4, "JPEG"}, {5, "PNG"},  {6, "alpha bit fields"}};
    std::string method = os2 && compression == 3       ? "Huffman"
                         : os2 && compression == 4     ? "RLE24"
                         : kMethods.count(compression) ? kMethods.at(compression)
                                                       : "method " + std::to_string(compression);
    reasons.push_back("compressed (" + method + ")");
  }
  const std::int32_t width = static_cast<std::int32_t>(Le32(f, 18));
  const std::int32_t height = static_cast<std::int32_t>(Le32(f, 22));
  if (height < 0) reasons.push_back("top-down rows (negative height)");
  if (height == 0 || width <= 0) reasons.push_back("a width or height of 0 or less");
  if (reasons.empty() && height > 0 && width > 0) {
    const std::uint64_t row = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (40 + (bits == 8 ? 1024 : 0) + row * (std::uint64_t(height) + 1) > 0x7FFFFFFFu)
      reasons.push_back("an image block over 2 GiB");
  }
  std::string out;
  for (const std::string& r : reasons) out += (out.empty() ? "" : "; ") + r;
  return out;
}

/// The rendering a loaded file of the suite should show, "" for none.
std::string BmpReference(const std::string& folder, const std::string& stem) {
  if (folder == "b") return "";  // damaged files: the suite shows no rendering
  const std::string html = zt::TestDataPath("bmpsuite/html/");
  if (fs::exists(html + stem + ".png")) return stem + ".png";
  if (stem.rfind("pal8nonsquare", 0) == 0) return "pal8nonsquare-e.png";
  if (stem.rfind("pal8", 0) == 0) return "pal8.png";
  if (stem.rfind("rgb24", 0) == 0) return "rgb24.png";
  return "";
}

Verdict ReadBmpFile(const std::string& folder, const std::string& file) {
  Verdict v;
  v.name = "bmpsuite/" + folder + "/" + file;
  const std::string path = zt::TestDataPath(v.name);
  const Bytes bytes = zt::ReadFileBytes(path);
  CImageDataModel image;
  const short format = image.TestImageFormat(path.c_str());
  v.loaded = format == 1 && image.ReadBMPImage(path.c_str()) == 1;
  const std::string refusal = BmpRefusal(bytes);
  if (!v.loaded) {
    v.why = refusal.empty() ? "UNEXPLAINED" : refusal;
    v.ok = !refusal.empty() && image.IsEmpty();
    return v;
  }
  if (!refusal.empty()) {
    v.why = "loads although it should be refused: " + refusal;
    v.ok = false;
    return v;
  }
  const std::string stem = file.substr(0, file.size() - 4);
  const std::string reference = BmpReference(folder, stem);
  if (reference.empty()) {
    v.why = "damaged file, read within the reader's rules; the suite gives no rendering";
    return v;
  }
  const Rendering want = ReadPng(zt::TestDataPath("bmpsuite/html/" + reference));
  // This file stores red and green exchanged, for a colour profile to
  // exchange back; no profile is applied.
  const bool swapped = stem == "rgb24prof2";
  long wrong = 0;
  if (want.width != image.GetWidth() || want.height != image.GetHeight()) {
    wrong = -1;
  } else {
    for (UINT y = 0; y < want.height; ++y)
      for (UINT x = 0; x < want.width; ++x) {
        const std::uint8_t* p = &want.rgb[3 * (std::size_t{y} * want.width + x)];
        const COLORREF expected = swapped ? RGB(p[1], p[0], p[2]) : RGB(p[0], p[1], p[2]);
        wrong += image.GetPixel(x, y) != expected;
      }
  }
  v.ok = wrong == 0;
  v.why = (v.ok ? "pixels match " : "PIXELS DIFFER FROM ") + reference +
          (swapped ? " with red and green exchanged (as stored; no colour profile applied)" : "");
  return v;
}

// ---- GIF files --------------------------------------------------------------

std::vector<std::string> g_messages;
void Capture(const char* text, UINT) { g_messages.push_back(text); }

std::string Shown(const std::string& message) {
  std::string out;
  for (char c : message) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return "message \"" + out + "\"";
}

/// The LZW minimum code size byte of the first frame, or −1.
int MinimumCodeSize(const Bytes& f) {
  if (f.size() < 13) return -1;
  std::size_t at = 13 + ((f[10] & 0x80) ? 3u << ((f[10] & 7) + 1) : 0);
  if (at + 10 > f.size() || f[at] != 0x2C) return -1;
  const std::uint8_t packed = f[at + 9];
  at += 10 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0);
  return at < f.size() ? f[at] : -1;
}

/// The file with the extension blocks between its global colour table and
/// its first image descriptor taken out.
Bytes WithoutLeadingExtensions(const Bytes& f) {
  if (f.size() < 13) return f;
  const std::size_t start = 13 + ((f[10] & 0x80) ? 3u << ((f[10] & 7) + 1) : 0);
  std::size_t pos = start;
  while (pos + 1 < f.size() && f[pos] == 0x21) {
    pos += 2;  // introducer and label, then sub-blocks up to a zero count
    while (pos < f.size() && f[pos] != 0) pos += f[pos] + 1;
    ++pos;
  }
  if (pos >= f.size()) return f;
  Bytes out(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(start));
  out.insert(out.end(), f.begin() + static_cast<std::ptrdiff_t>(pos), f.end());
  return out;
}

/// The indices of a loaded 8-bit image, top row first.
Bytes IndicesOf(const CImageDataModel& image) {
  Bytes indices;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x)
      indices.push_back(
          image.GetBuffer()[std::size_t{image.GetHeight() - 1 - y} * image.GetLineBytes() + x]);
  return indices;
}

bool SameAsGiflib(const CImageDataModel& image, const GiflibFrame& want) {
  if (IndicesOf(image) != want.indices) return false;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD q = image.GetPalette()[i];
    if (q.rgbRed != want.colours[3 * i] || q.rgbGreen != want.colours[3 * i + 1] ||
        q.rgbBlue != want.colours[3 * i + 2])
      return false;
  }
  return true;
}

/// A file refused because an extension comes first is read again without
/// its leading extensions, and checked against the opaque pixels of the
/// suite's rendering of frame 0 (transparency is not the reader's concern),
/// or against giflib where the suite has no rendering. Returns what to add
/// to the verdict.
std::string CheckWithoutExtensions(const std::string& relative, const Bytes& bytes, bool& ok) {
  zt::TempDir dir;
  const Bytes stripped = WithoutLeadingExtensions(bytes);
  zt::WriteFileBytes(dir.File("stripped.gif"), stripped);
  CImageDataModel image;
  if (image.ReadGIFImage(dir.File("stripped.gif").c_str()) != 1) {
    ok = false;
    return "; WITHOUT ITS LEADING EXTENSIONS IT IS STILL REFUSED";
  }
  const std::string stem = fs::path(relative).stem().string();
  // Frame 0 of an animation, or the one picture of a still file.
  std::string frame = "gif-test-suite/gifs/frames/" + stem + "-0.png";
  if (!fs::exists(zt::TestDataPath(frame))) frame = "gif-test-suite/gifs/frames/" + stem + ".png";
  if (!fs::exists(zt::TestDataPath(frame))) {
    const bool same = SameAsGiflib(image, DecodeWithGiflib(stripped));
    ok = same;
    return same ? "; without its leading extensions it matches giflib's first frame"
                : "; WITHOUT ITS LEADING EXTENSIONS IT DIFFERS FROM GIFLIB";
  }
  const std::string name = fs::path(frame).filename().string();
  const Rendering want = ReadPng(zt::TestDataPath(frame), true);
  if (want.width != image.GetWidth() || want.height != image.GetHeight()) {
    ok = false;
    return "; WITHOUT ITS LEADING EXTENSIONS ITS SIZE DIFFERS FROM " + name;
  }
  long opaque = 0, wrong = 0;
  for (UINT y = 0; y < want.height; ++y)
    for (UINT x = 0; x < want.width; ++x) {
      const std::uint8_t* p = &want.rgb[4 * (std::size_t{y} * want.width + x)];
      if (p[3] != 255) continue;
      ++opaque;
      wrong += image.GetPixel(x, y) != RGB(p[0], p[1], p[2]);
    }
  ok = wrong == 0;
  if (!ok) return "; WITHOUT ITS LEADING EXTENSIONS IT DIFFERS FROM " + name;
  if (opaque == 0)
    return "; without its leading extensions it loads; " + name +
           " shows nothing of the frame (it lies outside the screen) to compare with";
  return "; without its leading extensions it matches the " + std::to_string(opaque) +
         " opaque pixels of " + name;
}

Verdict ReadGifFile(const std::string& relative, bool tryWithoutExtensions) {
  Verdict v;
  v.name = relative;
  const std::string path = zt::TestDataPath(relative);
  const Bytes bytes = zt::ReadFileBytes(path);
  CImageDataModel image;
  g_messages.clear();
  const short format = image.TestImageFormat(path.c_str());
  v.loaded = format == 3 && image.ReadGIFImage(path.c_str()) == 1;
  if (!v.loaded) {
    if (g_messages.size() == 1) {
      v.why = Shown(g_messages[0]);
      if (tryWithoutExtensions && MinimumCodeSize(bytes) < 0 &&
          MinimumCodeSize(WithoutLeadingExtensions(bytes)) >= 0)
        v.why +=
            " (an extension block comes first)" + CheckWithoutExtensions(relative, bytes, v.ok);
    } else if (g_messages.empty() && MinimumCodeSize(bytes) > 11) {
      v.why = "LZW minimum code size " + std::to_string(MinimumCodeSize(bytes)) +
              " (above 11), no message";
    } else {
      v.why = "UNEXPLAINED";
      v.ok = false;
    }
    v.ok = v.ok && image.IsEmpty();
    return v;
  }
  if (!g_messages.empty()) {
    v.why = "loads but showed " + Shown(g_messages[0]);
    v.ok = false;
    return v;
  }
  const GiflibFrame want = DecodeWithGiflib(bytes);
  if (!want.ok) {
    v.why = "damaged stream, decoded as far as it goes; giflib refuses it (no reference)";
    return v;
  }
  const bool same = SameAsGiflib(image, want);
  v.ok = same;
  v.why = same ? "indices and colours match giflib's first frame"
               : "INDICES OR COLOURS DIFFER FROM GIFLIB";
  return v;
}

// ---- The table --------------------------------------------------------------

std::vector<std::string> Names(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(zt::TestDataPath(folder)))
    if (entry.is_regular_file() && entry.path().extension() == extension)
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Row(const Verdict& v) {
  return "| `" + v.name + "` | " + (v.loaded ? "loads" : "refused") + " | " + v.why + " |\n";
}

/// Many files with few outcomes: one row per outcome, listing the files.
std::string Grouped(const std::vector<Verdict>& verdicts, const std::string& prefix) {
  std::map<std::string, std::vector<std::string>> groups;
  for (const Verdict& v : verdicts) {
    std::string name = v.name.substr(v.name.rfind('/') + 1);
    name = name.substr(0, name.size() - 4);
    groups[(v.loaded ? "loads | " : "refused | ") + v.why].push_back(name);
  }
  std::string out = "| Result | Why | Files |\n|---|---|---|\n";
  for (const auto& [outcome, files] : groups) {
    std::string list;
    for (const std::string& f : files) list += (list.empty() ? "" : ", ") + f.substr(prefix.size());
    out += "| " + outcome + " | " + std::to_string(files.size()) + ": " + list + " |\n";
  }
  return out;
}

TEST(Conformance, EverySuiteFileLoadsWithTheRightPixelsOrIsRefusedForAKnownReason) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  const MessageBoxHandler previous = SetMessageBoxHandler(&Capture);
  std::vector<Verdict> all;
  std::string table;

  std::vector<Verdict> bmp;
  for (const char* folder : {"g", "q", "b", "x"})
    for (const std::string& file : Names(std::string("bmpsuite/") + folder, ".bmp"))
      bmp.push_back(ReadBmpFile(folder, file));
  table += "### BMP suite (" + std::to_string(bmp.size()) + " files)\n\n";
  table += "| File | Result | Why, or checked against |\n|---|---|---|\n";
  for (const Verdict& v : bmp) table += Row(v);

  std::vector<Verdict> gif;
  for (const std::string& file : Names("gif-test-suite/gifs", ".gif"))
    gif.push_back(ReadGifFile("gif-test-suite/gifs/" + file, true));
  for (const std::string& file : Names("libnsgif/data", ".gif"))
    gif.push_back(ReadGifFile("libnsgif/data/" + file, true));
  table += "\n### GIF test suite and GIF decoder test pictures (" + std::to_string(gif.size()) +
           " files)\n\n| File | Result | Why, or checked against |\n|---|---|---|\n";
  for (const Verdict& v : gif) table += Row(v);

  std::vector<Verdict> afl;
  for (const std::string& file : Names("libnsgif/afl", ".gif"))
    afl.push_back(ReadGifFile("libnsgif/afl/" + file, false));
  table += "\n### Fuzzer-made GIF files, `libnsgif/afl/afl_NNN.gif` (" +
           std::to_string(afl.size()) + " files)\n\n" + Grouped(afl, "afl_");
  SetMessageBoxHandler(previous);

  for (const auto* group : {&bmp, &gif, &afl})
    for (const Verdict& v : *group) EXPECT_TRUE(v.ok) << v.name << ": " << v.why;
  EXPECT_EQ(bmp.size(), 91u);
  EXPECT_EQ(afl.size(), 281u);

  std::cout << table;
  if (const char* out = std::getenv("ZENTREL_CONFORMANCE_OUT")) std::ofstream(out) << table;
  // The committed table is this one.
  const Bytes docBytes =
      zt::ReadFileBytes(std::string(ZENTREL_SOURCE_DIR) + "/docs/conformance.md");
  const std::string doc(docBytes.begin(), docBytes.end());
  EXPECT_NE(doc.find(table), std::string::npos)
      << "docs/conformance.md does not hold this table; regenerate it with "
         "ZENTREL_CONFORMANCE_OUT=<file>";
}

}  // namespace
