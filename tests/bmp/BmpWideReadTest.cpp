// The widened BMP reader (ReadBMPImage with ZENTREL_READ_BMP_VARIANTS) on
// files written by ImageMagick and Pillow and on hand-made RLE streams and
// headers; ReadImage's recognition by content; the read notes of the narrow
// reader; the read limit; and the optional in-place save.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "BmpTestFiles.h"
#include "PngRendering.h"
#include "support/TestSupport.h"

namespace {

using bmptest::Bytes;

bool RunShell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) { return bmptest::U32At(b, at); }
void Store32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

/// The same uncompressed file stored top-down: rows reversed, height negated.
Bytes TopDown(const Bytes& file) {
  const std::uint32_t offBits = Le32(file, 10);
  const std::int32_t height = static_cast<std::int32_t>(Le32(file, 22));
  const std::uint32_t row = bmptest::RowBytes(Le32(file, 18), bmptest::U16At(file, 28));
  Bytes out(file.begin(), file.begin() + offBits);
  for (std::int32_t r = height - 1; r >= 0; --r)
    out.insert(out.end(), file.begin() + offBits + r * row, file.begin() + offBits + (r + 1) * row);
  Store32(out, 22, static_cast<std::uint32_t>(-height));
  return out;
}

/// The same file with an OS/2 2.x header of size bytes (16: width, height,
/// planes and depth only; 64: the 40 bytes of the original and 24 zeros).
Bytes WithOs2Header(const Bytes& file, std::uint32_t size) {
  Bytes out(file.begin(), file.begin() + 14);
  Bytes info(file.begin() + 14, file.begin() + 54);
  info.resize(size, 0);
  Store32(info, 0, size);
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), file.begin() + 54, file.end());
  Store32(out, 10, Le32(file, 10) - 40 + size);
  return out;
}

enum class Change { None, TopDown, Os2Short, Os2Full };

#ifdef ZENTREL_TEST_HAVE_PNG
TEST(BmpWide, FilesWrittenByImageMagickAndPillowLoadWithTheirPixels) {
  const bool magick = RunShell("command -v convert");
  const bool pillow = RunShell("/usr/bin/python3 -c 'import PIL'");
  if (!magick) GTEST_SKIP() << "ImageMagick is not installed";
  zt::TempDir dir;
  const std::string d = dir.path() + "/";
  // Pure colours survive every depth's scaling exactly.
  ASSERT_TRUE(
      RunShell("convert -size 17x9 xc:red -fill blue -draw 'rectangle 2,1 9,5' -fill lime "
               "-draw 'rectangle 11,3 15,8' -fill white -draw 'point 0,8' -fill black "
               "-draw 'point 16,0' PNG24:" +
               d + "colour.png"));
  ASSERT_TRUE(RunShell(
      "convert -size 17x9 xc:white -fill black -draw 'rectangle 2,1 9,5' PNG24:" + d + "bw.png"));
  const std::string pil = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + d;
  struct Case {
    const char* name;
    bool byPillow;
    std::string command;
    const char* source;
    Change change;
    int bits;  // of the result
  } cases[] = {
      {"im-rle8", false, "convert " + d + "colour.png -type palette -compress RLE BMP3:", "colour",
       Change::None, 8},
      {"im-4bit", false, "convert " + d + "colour.png -type palette BMP3:", "colour", Change::None,
       8},
      {"im-1bit", false, "convert " + d + "bw.png -monochrome BMP3:", "bw", Change::None, 8},
      {"im-565-v5", false,
       "convert " + d + "colour.png -type TrueColor -define bmp:subtype=RGB565 BMP:", "colour",
       Change::None, 24},
      {"im-555-bitfields", false,
       "convert " + d + "colour.png -type TrueColor -define bmp:subtype=RGB555 BMP:", "colour",
       Change::None, 24},
      {"im-32-bitfields", false, "convert " + d + "colour.png -type TrueColorAlpha BMP:", "colour",
       Change::None, 24},
      {"im-os2-1x-24bit", false, "convert " + d + "colour.png -type TrueColor BMP2:", "colour",
       Change::None, 24},
      {"im-os2-1x-4bit", false, "convert " + d + "colour.png -type palette BMP2:", "colour",
       Change::None, 8},
      {"im-24-top-down", false, "convert " + d + "colour.png -type TrueColor BMP3:", "colour",
       Change::TopDown, 24},
      {"im-4bit-top-down", false, "convert " + d + "colour.png -type palette BMP3:", "colour",
       Change::TopDown, 8},
      {"im-4bit-os2-2x-16", false, "convert " + d + "colour.png -type palette BMP3:", "colour",
       Change::Os2Short, 8},
      {"im-24-os2-2x-64", false, "convert " + d + "colour.png -type TrueColor BMP3:", "colour",
       Change::Os2Full, 24},
      {"pil-32bit", true, pil + "colour.png').convert('RGBA').save('", "colour", Change::None, 24},
      {"pil-1bit", true, pil + "bw.png').convert('1').save('", "bw", Change::None, 8},
      {"pil-8bit-top-down", true,
       pil + "colour.png').convert('RGB').quantize(8, dither=Image.Dither.NONE).save('", "colour",
       Change::TopDown, 8},
  };
  for (const Case& c : cases) {
    if (c.byPillow && !pillow) continue;
    const std::string made = d + c.name + "-made.bmp";
    ASSERT_TRUE(RunShell(c.command + made + (c.byPillow ? "')\"" : ""))) << c.name;
    Bytes bytes = zt::ReadFileBytes(made);
    if (c.change == Change::TopDown) bytes = TopDown(bytes);
    if (c.change == Change::Os2Short) bytes = WithOs2Header(bytes, 16);
    if (c.change == Change::Os2Full) bytes = WithOs2Header(bytes, 64);
    const std::string path = d + c.name + ".bmp";
    ASSERT_TRUE(zt::WriteFileBytes(path, bytes));
    CImageDataModel image;
    ASSERT_EQ(image.ReadImage(path.c_str(), ZENTREL_READ_WIDE), 1) << c.name;
    EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_NONE) << c.name;
    EXPECT_EQ(image.GetColorPixel(), c.bits) << c.name;
    EXPECT_EQ(image.GetBmh()->biCompression, 0u) << c.name;
    const zt::Rendering want = zt::ReadPng(d + c.source + ".png");
    ASSERT_EQ(image.GetWidth(), want.width) << c.name;
    ASSERT_EQ(image.GetHeight(), want.height) << c.name;
    long wrong = 0;
    for (UINT y = 0; y < want.height; ++y)
      for (UINT x = 0; x < want.width; ++x) {
        const std::uint8_t* p = &want.rgb[3 * (std::size_t{y} * want.width + x)];
        wrong += image.GetPixel(x, y) != RGB(p[0], p[1], p[2]);
      }
    EXPECT_EQ(wrong, 0) << c.name;
  }
}
#endif

/// An RLE file of width × height (negative: top-down) with a 16-entry grey
/// table and the given stream.
Bytes RleFile(std::int32_t width, std::int32_t height, bool fourBit, const Bytes& stream) {
  bmptest::BmpParts parts;
  parts.width = width;
  parts.height = height;
  parts.bits = fourBit ? 4 : 8;
  parts.compression = fourBit ? 2 : 1;
  parts.clrUsed = 16;
  for (int i = 0; i < 16; ++i)
    parts.table.insert(parts.table.end(),
                       {Bytes::value_type(i), Bytes::value_type(i), Bytes::value_type(i), 0});
  parts.pixels = stream;
  return bmptest::Encode(parts);
}

/// The indices of an 8-bit image, rows from the top.
Bytes Indices(const CImageDataModel& image) {
  Bytes out;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) out.push_back(zt::IndexAt(image, x, y));
  return out;
}

TEST(BmpWide, RleStreamsDecodeAndAreCutAtTheEdgesBmpRleRowPaddingQuietly) {
  struct Case {
    const char* name;
    std::int32_t width, height;
    bool fourBit;
    Bytes stream;
    Bytes indices;  // rows from the top
    int note;
  } cases[] = {
      {"runs, end of line, move, end of bitmap",
       4,
       3,
       false,
       {2, 1, 0, 0, 0, 2, 1, 1, 1, 5, 0, 1},
       {0, 5, 0, 0, /**/ 0, 0, 0, 0, /**/ 1, 1, 0, 0},
       ZENTREL_NOTE_NONE},
      {"odd literal and its padding",
       4,
       1,
       false,
       {0, 3, 7, 8, 9, 0, 1, 4, 0, 1},
       {7, 8, 9, 4},
       ZENTREL_NOTE_NONE},
      {"run past the row's end is cut",
       4,
       2,
       false,
       {6, 7, 0, 0, 1, 2, 0, 1},
       {2, 0, 0, 0, /**/ 7, 7, 7, 7},
       ZENTREL_NOTE_DAMAGED_DATA},
      {"move past the image is cut",
       2,
       2,
       false,
       {0, 2, 0, 9, 1, 3, 0, 1},
       {0, 0, 0, 0},
       ZENTREL_NOTE_DAMAGED_DATA},
      {"no end of bitmap", 3, 2, false, {3, 4}, {0, 0, 0, /**/ 4, 4, 4}, ZENTREL_NOTE_TRUNCATED},
      {"literal cut by the end of the data",
       4,
       1,
       false,
       {0, 5, 1, 2},
       {1, 2, 0, 0},
       ZENTREL_NOTE_TRUNCATED},
      {"full image, then more data",
       2,
       1,
       false,
       {2, 6, 0, 0, 2, 6, 0, 1},
       {6, 6},
       ZENTREL_NOTE_DAMAGED_DATA},
      {"RLE4 run alternates halves",
       6,
       1,
       true,
       {5, 0x12, 0, 1},
       {1, 2, 1, 2, 1, 0},
       ZENTREL_NOTE_NONE},
      {"RLE4 odd literal", 4, 1, true, {0, 3, 0x34, 0x50, 0, 1}, {3, 4, 5, 0}, ZENTREL_NOTE_NONE},
      {"top-down: the first row is the top",
       2,
       -2,
       false,
       {1, 9, 0, 1},
       {9, 0, /**/ 0, 0},
       ZENTREL_NOTE_NONE},
  };
  zt::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("rle.bmp");
    ASSERT_TRUE(zt::WriteFileBytes(path, RleFile(c.width, c.height, c.fourBit, c.stream)));
    CImageDataModel image;
    ASSERT_EQ(image.ReadBMPImage(path.c_str(), ZENTREL_READ_BMP_VARIANTS), 1) << c.name;
    EXPECT_EQ(Indices(image), c.indices) << c.name;
    EXPECT_EQ(image.GetLastReadNote(), c.note) << c.name;
    EXPECT_EQ(image.GetFileColors(), 16) << c.name;
    EXPECT_EQ(image.GetPalette()[9].rgbRed, 9) << c.name;
    EXPECT_EQ(image.GetPalette()[16].rgbRed, 0) << c.name;  // past the file's table: black
  }
}

TEST(BmpWide, RefusedFilesGiveANoteAndLeaveTheRecordAsItWas) {
  auto header = [](std::uint32_t infoSize, std::uint16_t bits, std::uint32_t compression) {
    bmptest::BmpParts parts = bmptest::Plain24(4, 2);
    parts.infoSize = infoSize;
    parts.bits = bits;
    parts.compression = compression;
    return bmptest::Encode(parts);
  };
  Bytes wide0 = header(40, 24, 0);
  Store32(wide0, 18, 0);
  Bytes sizeTooLong = header(40, 24, 0);
  Store32(sizeTooLong, 14, 5000);
  struct Case {
    const char* name;
    Bytes file;
    int note;
  } cases[] = {
      {"embedded JPEG", header(40, 0, 4), ZENTREL_NOTE_COMPRESSED},
      {"embedded PNG", header(124, 0, 5), ZENTREL_NOTE_COMPRESSED},
      {"OS/2 Huffman", header(64, 1, 3), ZENTREL_NOTE_COMPRESSED},
      {"OS/2 RLE24", header(64, 24, 4), ZENTREL_NOTE_COMPRESSED},
      {"bit fields at 24 bits", header(40, 24, 3), ZENTREL_NOTE_COMPRESSED},
      {"64-bit pixels", header(124, 64, 0), ZENTREL_NOTE_UNSUPPORTED_DEPTH},
      {"RLE8 at 4 bits", header(40, 4, 1), ZENTREL_NOTE_DAMAGED_HEADER},
      {"header of 13 bytes", header(13, 24, 0), ZENTREL_NOTE_DAMAGED_HEADER},
      {"header longer than the file", sizeTooLong, ZENTREL_NOTE_DAMAGED_HEADER},
      {"width 0", wide0, ZENTREL_NOTE_DAMAGED_HEADER},
      {"not BM", {'B', 'A', 0, 0}, ZENTREL_NOTE_NOT_RECOGNISED},
  };
  zt::TempDir dir;
  CImageDataModel image;
  zt::MakeImage(image, 3, 3, 8);
  const BYTE* held = image.GetBuffer();
  for (const Case& c : cases) {
    const std::string path = dir.File("refused.bmp");
    ASSERT_TRUE(zt::WriteFileBytes(path, c.file));
    EXPECT_EQ(image.ReadBMPImage(path.c_str(), ZENTREL_READ_BMP_VARIANTS), 0) << c.name;
    EXPECT_EQ(image.GetLastReadNote(), c.note) << c.name;
    EXPECT_STRNE(CImageDataModel::GetReadNoteText(c.note), "unknown") << c.name;
    EXPECT_EQ(image.GetBuffer(), held) << c.name;
    EXPECT_EQ(image.GetWidth(), 3u) << c.name;
  }
}

TEST(BmpWide, ReadNotesOfTheNarrowReaderLeaveItsResultsAlone) {
  bmptest::BmpParts cut = bmptest::Plain8(4, 4);
  cut.pixels.resize(cut.pixels.size() - 5);
  bmptest::BmpParts lastPadding = bmptest::Plain24(3, 2);  // rows of 9 + 3 bytes
  lastPadding.pixels.resize(lastPadding.pixels.size() - 3);
  bmptest::BmpParts topDown = bmptest::Plain8(4, 4);
  topDown.height = -4;
  bmptest::BmpParts core = bmptest::Plain8(4, 4);
  core.infoSize = 12;
  bmptest::BmpParts rle = bmptest::Plain8(4, 4);
  rle.compression = 1;
  bmptest::BmpParts low = bmptest::Plain8(4, 4);
  low.bits = 4;
  struct Case {
    const char* name;
    Bytes file;
    int result;
    int note;
  } cases[] = {
      {"complete", bmptest::Encode(bmptest::Plain8(4, 4)), 1, ZENTREL_NOTE_NONE},
      {"without the last row's padding", bmptest::Encode(lastPadding), 1, ZENTREL_NOTE_NONE},
      {"cut short", bmptest::Encode(cut), 1, ZENTREL_NOTE_TRUNCATED},
      {"top-down", bmptest::Encode(topDown), 0, ZENTREL_NOTE_UNSUPPORTED_LAYOUT},
      {"OS/2 header", bmptest::Encode(core), 0, ZENTREL_NOTE_UNSUPPORTED_LAYOUT},
      {"RLE8", bmptest::Encode(rle), 0, ZENTREL_NOTE_COMPRESSED},
      {"4-bit", bmptest::Encode(low), 0, ZENTREL_NOTE_UNSUPPORTED_DEPTH},
      {"a GIF",
       {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       0,
       ZENTREL_NOTE_NOT_RECOGNISED},
  };
  zt::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("narrow.bmp");
    ASSERT_TRUE(zt::WriteFileBytes(path, c.file));
    CImageDataModel image;
    EXPECT_EQ(image.ReadBMPImage(path.c_str()), c.result) << c.name;
    EXPECT_EQ(image.GetLastReadNote(), c.note) << c.name;
    // Flags without the BMP bit are the narrow reader.
    CImageDataModel again;
    EXPECT_EQ(again.ReadBMPImage(path.c_str(), ZENTREL_READ_GIF_EXTENSIONS), c.result) << c.name;
  }
  CImageDataModel image;
  EXPECT_EQ(image.ReadBMPImage(dir.File("absent.bmp").c_str()), 0);
  EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_CANNOT_OPEN);
}

TEST(BmpWide, ReadLimitRefusesAHugeClaimBeforeAllocating) {
  // 54 bytes that claim 40000 × 40000 pixels at 8 bits: a 1.6 GB block.
  bmptest::BmpParts parts;
  parts.width = 40000;
  parts.height = 40000;
  zt::TempDir dir;
  const std::string path = dir.File("claim.bmp");
  ASSERT_TRUE(zt::WriteFileBytes(path, bmptest::Encode(parts)));
  for (DWORD flags : {DWORD{0}, ZENTREL_READ_WIDE}) {
    CImageDataModel image;
    image.SetReadLimit(64u << 20);
    EXPECT_EQ(image.ReadBMPImage(path.c_str(), flags), 0) << flags;
    EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_TOO_LARGE) << flags;
    EXPECT_EQ(image.ReadImage(path.c_str(), flags), 0) << flags;
    EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_TOO_LARGE) << flags;
    EXPECT_EQ(image.IsEmpty(), 1);
  }
  // A limit the image fits loads it.
  parts = bmptest::Plain8(4, 4);
  ASSERT_TRUE(zt::WriteFileBytes(path, bmptest::Encode(parts)));
  for (DWORD flags : {DWORD{0}, ZENTREL_READ_WIDE}) {
    CImageDataModel image;
    image.SetReadLimit(40 + 1024 + 4 * 5);
    EXPECT_EQ(image.ReadBMPImage(path.c_str(), flags), 1) << flags;
    image.FreeImage();
    image.SetReadLimit(40 + 1024 + 4 * 5 - 1);
    EXPECT_EQ(image.ReadBMPImage(path.c_str(), flags), 0) << flags;
  }
}

TEST(BmpWide, ReadImageRecognisesTheFormatByContentNotByName) {
  zt::TempDir dir;
  const Bytes bmp = bmptest::Encode(bmptest::Plain24(3, 2));
  // A 1 × 1 GIF with a graphic control extension first (transparent 1).
  const Bytes gif = {'G', 'I', 'F', '8', '9',  'a',  1, 0, 1, 0,    0x80, 0, 0,    0, 0,
                     0,   255, 255, 255, 0x21, 0xF9, 4, 1, 0, 0,    1,    0, 0x2C, 0, 0,
                     0,   0,   1,   0,   1,    0,    0, 2, 2, 0x4C, 0x01, 0, 0x3B};
  struct Case {
    const char* name;
    Bytes bytes;
    DWORD flags;
    int result;
    int note;
    int transparent;
  } cases[] = {
      {"bmp.gif", bmp, 0, 1, ZENTREL_NOTE_NONE, -1},
      {"gif.bmp", gif, ZENTREL_READ_WIDE, 1, ZENTREL_NOTE_NONE, 1},
      {"gif-narrow.bmp", gif, 0, 0, ZENTREL_NOTE_UNSUPPORTED_LAYOUT, -1},
      {"text.bmp",
       {'h', 'e', 'l', 'l', 'o', '!', '\n'},
       ZENTREL_READ_WIDE,
       0,
       ZENTREL_NOTE_NOT_RECOGNISED,
       -1},
      {"empty.gif", {}, ZENTREL_READ_WIDE, 0, ZENTREL_NOTE_NOT_RECOGNISED, -1},
  };
  zt::MessageCapture quiet;
  for (const Case& c : cases) {
    ASSERT_TRUE(zt::WriteFileBytes(dir.File(c.name), c.bytes));
    CImageDataModel image;
    EXPECT_EQ(image.ReadImage(dir.File(c.name).c_str(), c.flags), c.result) << c.name;
    EXPECT_EQ(image.GetLastReadNote(), c.note) << c.name;
    EXPECT_EQ(image.GetTransparentIndex(), c.transparent) << c.name;
  }
  CImageDataModel image;
  EXPECT_EQ(image.ReadImage(dir.File("absent").c_str(), ZENTREL_READ_WIDE), 0);
  EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_CANNOT_OPEN);
}

/// Saves in a child process without privileges (the superuser passes every
/// permission check) and returns its result, or −1.
int SaveUnprivileged(CImageDataModel& image, const std::string& path, DWORD flags) {
  if (::geteuid() != 0) return image.SaveBMPImage(path.c_str(), flags);
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(dropped ? image.SaveBMPImage(path.c_str(), flags) : 100);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(BmpWide, BmpSaveInPlaceWhenTheFolderTakesNoNewFile) {
  zt::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir.File("locked");
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  const Bytes previous(300, 0x3C);
  for (const char* name : {"open.bmp", "open-again.bmp", "read-only.bmp"})
    ASSERT_TRUE(zt::WriteFileBytes(folder + "/" + name, previous));
  ASSERT_EQ(::chmod((folder + "/open.bmp").c_str(), 0666), 0);
  ASSERT_EQ(::chmod((folder + "/open-again.bmp").c_str(), 0666), 0);
  ASSERT_EQ(::chmod((folder + "/read-only.bmp").c_str(), 0444), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  CImageDataModel image;
  zt::MakeImage(image, 5, 3, 24);
  zt::SetIndexAt(image, 0, 0, 0x7F);
  struct Case {
    const char* name;
    DWORD flags;
    int result;
  } cases[] = {
      {"open.bmp", 0, 0},  // without the flag: refused, the file kept
      {"open.bmp", ZENTREL_SAVE_IN_PLACE_FALLBACK, 1},
      {"open-again.bmp", ZENTREL_SAVE_IN_PLACE_FALLBACK, 1},
      {"read-only.bmp", ZENTREL_SAVE_IN_PLACE_FALLBACK, 0},
      {"new.bmp", ZENTREL_SAVE_IN_PLACE_FALLBACK, 0},
  };
  for (const Case& c : cases) {
    const std::string path = folder + "/" + c.name;
    EXPECT_EQ(SaveUnprivileged(image, path, c.flags), c.result) << c.name << " " << c.flags;
    if (c.result == 1) {
      CImageDataModel back;
      ASSERT_EQ(back.ReadBMPImage(path.c_str()), 1) << c.name;
      EXPECT_EQ(zt::ReadFileBytes(path).size(), 54u + 3 * 16) << c.name;
      EXPECT_EQ(back.GetPixel(0, 0), image.GetPixel(0, 0)) << c.name;
    } else if (std::string(c.name) != "new.bmp") {
      EXPECT_EQ(zt::ReadFileBytes(path), previous) << c.name;
    }
  }
  EXPECT_EQ(bmptest::FolderEntries(folder),
            (std::vector<std::string>{"open-again.bmp", "open.bmp", "read-only.bmp"}));
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
}

}  // namespace
