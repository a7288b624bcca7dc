// The widened GIF reader (ReadGIFImage with ZENTREL_READ_GIF_EXTENSIONS):
// extension blocks of every kind skipped by their framing, bad framing
// refused, the transparent index kept, a frame's own table standing in for a
// missing global one; the read notes of the narrow reader; files written by
// ImageMagick and Pillow read as giflib reads them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "GifTestSupport.h"
#include "GiflibOracle.h"

namespace {

using gift::Bytes;

const char kNoSeparator[] = "Corrupt GIF file (No image separator)!\n";

/// A 6 × 4 frame of 4 colours with the given bytes before its descriptor.
gift::GifPieces SmallGif(const Bytes& beforeImage) {
  Bytes indices;
  for (int i = 0; i < 24; ++i) indices.push_back(static_cast<std::uint8_t>((i * 7 + i / 6) % 4));
  gift::GifPieces pieces = gift::SimpleGif(6, 4, indices, 2, 2);
  pieces.beforeImage = beforeImage;
  return pieces;
}

struct ReadOutcome {
  int result = 0;
  int note = -1;
  int transparent = -2;
  int fileColors = -1;
  std::vector<std::string> messages;
  Bytes indices;
};

ReadOutcome Read(const gift::ScratchFolder& dir, const Bytes& file, DWORD flags) {
  const std::string path = dir.File("wide.gif");
  EXPECT_TRUE(zt::WriteFileBytes(path, file));
  zt::MessageCapture capture;
  CImageDataModel image;
  ReadOutcome out;
  out.result = image.ReadGIFImage(path.c_str(), flags);
  out.note = image.GetLastReadNote();
  out.transparent = image.GetTransparentIndex();
  out.fileColors = image.GetFileColors();
  out.messages = capture.texts();
  if (out.result) out.indices = gift::ImageIndices(image);
  EXPECT_EQ(image.IsEmpty(), out.result ? 0 : 1);
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kComment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
const Bytes kLoop = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                     'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
const Bytes kPlainText = {0x21, 0x01, 12, 0, 0, 0, 0, 6, 0, 4, 0, 1, 1, 1, 0, 2, 'h', 'i', 0};
const Bytes kUnknown = {0x21, 0x99, 1, 0x55, 0};
Bytes Control(bool transparent, std::uint8_t index) {
  return {0x21, 0xF9, 4, static_cast<std::uint8_t>(transparent ? 0x05 : 0x04), 10, 0, index, 0};
}

TEST(GifWide, GifExtensionSkipEveryKindOfBlockBeforeTheImage) {
  gift::ScratchFolder dir;
  const ReadOutcome plain = Read(dir, gift::Assemble(SmallGif({})), 0);
  ASSERT_EQ(plain.result, 1);
  struct Case {
    const char* name;
    Bytes before;
    int transparent;
  } cases[] = {
      {"graphic control, no transparency", Control(false, 3), -1},
      {"graphic control, transparent 3", Control(true, 3), 3},
      {"comment of two sub-blocks", kComment, -1},
      {"application (looping)", kLoop, -1},
      {"plain text", kPlainText, -1},
      {"unknown label", kUnknown, -1},
      {"all kinds, the last graphic control counts",
       Concat({kLoop, Control(true, 1), kComment, kPlainText, kUnknown, Control(true, 2)}), 2},
      {"a later graphic control without transparency clears it",
       Concat({Control(true, 1), Control(false, 1)}), -1},
  };
  for (const Case& c : cases) {
    const Bytes file = gift::Assemble(SmallGif(c.before));
    const ReadOutcome narrow = Read(dir, file, 0);
    EXPECT_EQ(narrow.result, 0) << c.name;
    EXPECT_EQ(narrow.messages, std::vector<std::string>{kNoSeparator}) << c.name;
    EXPECT_EQ(narrow.note, ZENTREL_NOTE_UNSUPPORTED_LAYOUT) << c.name;
    const ReadOutcome wide = Read(dir, file, ZENTREL_READ_GIF_EXTENSIONS);
    EXPECT_EQ(wide.result, 1) << c.name;
    EXPECT_TRUE(wide.messages.empty()) << c.name;
    EXPECT_EQ(wide.note, ZENTREL_NOTE_NONE) << c.name;
    EXPECT_EQ(wide.indices, plain.indices) << c.name;
    EXPECT_EQ(wide.transparent, c.transparent) << c.name;
    EXPECT_EQ(wide.fileColors, 4) << c.name;
  }
}

TEST(GifWide, GifExtensionSkipRefusesBadFramingCleanly) {
  gift::ScratchFolder dir;
  const Bytes head = gift::Assemble(SmallGif({}));
  const std::size_t tableEnd = 13 + 3 * 4;
  const Bytes start(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(tableEnd));
  struct Case {
    const char* name;
    Bytes file;
    int note;
  } cases[] = {
      {"sub-block running past the end", Concat({start, {0x21, 0xFE, 200, 'x', 'y'}}),
       ZENTREL_NOTE_DAMAGED_DATA},
      {"no terminator before the end", Concat({start, {0x21, 0xFE, 2, 'x', 'y'}}),
       ZENTREL_NOTE_DAMAGED_DATA},
      {"no label before the end", Concat({start, {0x21}}), ZENTREL_NOTE_DAMAGED_DATA},
      {"neither extension nor image", Concat({start, kComment, {0x3B}}),
       ZENTREL_NOTE_DAMAGED_HEADER},
      {"nothing after the extensions", Concat({start, kLoop}), ZENTREL_NOTE_DAMAGED_HEADER},
  };
  for (const Case& c : cases) {
    const ReadOutcome wide = Read(dir, c.file, ZENTREL_READ_GIF_EXTENSIONS);
    EXPECT_EQ(wide.result, 0) << c.name;
    EXPECT_EQ(wide.messages, std::vector<std::string>{kNoSeparator}) << c.name;
    EXPECT_EQ(wide.note, c.note) << c.name;
    EXPECT_EQ(wide.transparent, -1) << c.name;
  }
}

TEST(GifWide, GifLocalTableOnlyFramesBringTheirOwnTable) {
  gift::ScratchFolder dir;
  gift::GifPieces pieces = SmallGif(Control(true, 0));
  pieces.globalTable = false;
  pieces.localTable = true;
  pieces.localBits = 2;
  gift::MakeColours(pieces.localColours, 4, 9);
  const ReadOutcome narrow = Read(dir, gift::Assemble(pieces), 0);
  EXPECT_EQ(narrow.messages, std::vector<std::string>{"File has not color table!\n"});
  const ReadOutcome wide = Read(dir, gift::Assemble(pieces), ZENTREL_READ_GIF_EXTENSIONS);
  ASSERT_EQ(wide.result, 1);
  const gift::GiflibFrame want = gift::DecodeWithGiflib(gift::Assemble(pieces));
  ASSERT_TRUE(want.ok);
  EXPECT_EQ(wide.indices, want.indices);
  EXPECT_EQ(wide.transparent, 0);
  // Without a table anywhere the widened reader refuses as the narrow one.
  pieces.localTable = false;
  const ReadOutcome none = Read(dir, gift::Assemble(pieces), ZENTREL_READ_GIF_EXTENSIONS);
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.messages, std::vector<std::string>{"File has not color table!\n"});
}

TEST(GifWide, ReadNotesOfTheNarrowReaderLeaveItsResultsAlone) {
  gift::ScratchFolder dir;
  const Bytes good = gift::Assemble(SmallGif({}));
  Bytes ratio = good;
  ratio[12] = 49;
  Bytes signature = good;
  signature[4] = '8';  // "GIF88a"
  Bytes codeSize = good;
  codeSize[13 + 12 + 10] = 12;
  const Bytes cut(good.begin(), good.end() - 6);
  struct Case {
    const char* name;
    Bytes file;
    int result;
    int note;
  } cases[] = {
      {"complete", good, 1, ZENTREL_NOTE_NONE},
      {"data cut short", cut, 1, ZENTREL_NOTE_TRUNCATED},
      {"pixel ratio", ratio, 0, ZENTREL_NOTE_UNSUPPORTED_LAYOUT},
      {"signature", signature, 0, ZENTREL_NOTE_NOT_RECOGNISED},
      {"minimum code size 12", codeSize, 0, ZENTREL_NOTE_DAMAGED_DATA},
  };
  for (const Case& c : cases) {
    for (DWORD flags : {DWORD{0}, ZENTREL_READ_GIF_EXTENSIONS}) {
      const ReadOutcome got = Read(dir, c.file, flags);
      EXPECT_EQ(got.result, c.result) << c.name << " flags " << flags;
      EXPECT_EQ(got.note, c.note) << c.name << " flags " << flags;
    }
    // The narrow reader's outcome, messages and block, is the reference's.
    EXPECT_TRUE(gift::SameAsReference(dir, c.file)) << c.name;
  }
  CImageDataModel image;
  EXPECT_EQ(image.ReadGIFImage(dir.File("absent.gif").c_str()), 0);
  EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_CANNOT_OPEN);
}

TEST(GifWide, ReadLimitRefusesALargeScreenBeforeAllocating) {
  gift::ScratchFolder dir;
  gift::GifPieces pieces = SmallGif({});
  pieces.screenWidth = 60000;
  pieces.screenHeight = 60000;  // a 3.6 GB block: over the cap as well
  const std::string path = dir.File("large.gif");
  ASSERT_TRUE(zt::WriteFileBytes(path, gift::Assemble(pieces)));
  for (DWORD limit : {DWORD{0}, DWORD{1} << 20}) {
    zt::MessageCapture capture;
    CImageDataModel image;
    image.SetReadLimit(limit);
    EXPECT_EQ(image.GetReadLimit(), limit);
    EXPECT_EQ(image.ReadGIFImage(path.c_str(), ZENTREL_READ_GIF_EXTENSIONS), 0);
    EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_TOO_LARGE);
    EXPECT_EQ(capture.texts(), std::vector<std::string>{"Insufissiant Memory!"});
  }
  // Under the limit the same reader loads a small screen.
  CImageDataModel image;
  image.SetReadLimit(40 + 1024 + 8 * 5);
  ASSERT_TRUE(zt::WriteFileBytes(path, gift::Assemble(SmallGif({}))));
  EXPECT_EQ(image.ReadGIFImage(path.c_str(), ZENTREL_READ_GIF_EXTENSIONS), 1);
  image.FreeImage();
  image.SetReadLimit(40 + 1024 + 8 * 5 - 1);
  EXPECT_EQ(image.ReadGIFImage(path.c_str(), ZENTREL_READ_GIF_EXTENSIONS), 0);
}

/// Runs a shell command; true when it exits with 0.
bool RunShell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(GifWide, FilesWrittenByImageMagickAndPillowReadAsGiflibReadsThem) {
  const bool magick = RunShell("command -v convert");
  const bool pillow = RunShell("/usr/bin/python3 -c 'import PIL'");
  if (!magick && !pillow) GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
  zt::TempDir dir;
  const std::string out = dir.path() + "/";
  const std::string py = "/usr/bin/python3 -c \"from PIL import Image, ImageDraw; ";
  const std::string draw =
      "im = Image.new('P', (23, 11), 0); im.putpalette([i % 256 for i in range(96)]); "
      "d = ImageDraw.Draw(im); d.rectangle((3, 2, 12, 8), fill=5); d.line((0, 10, 22, 0), "
      "fill=31); ";
  struct Case {
    const char* name;
    bool byMagick;
    std::string command;
  } cases[] = {
      {"im-comment-loop-delay.gif", true,
       "convert -size 19x9 xc:red -fill blue -draw 'rectangle 2,2 9,6' -comment hello -loop 0 "
       "-delay 20 " +
           out + "im-comment-loop-delay.gif"},
      {"im-transparent.gif", true,
       "convert -size 19x9 xc:red -fill blue -draw 'rectangle 2,2 9,6' -transparent red " + out +
           "im-transparent.gif"},
      {"im-animated.gif", true,
       "convert -delay 10 -size 12x7 xc:white xc:black -loop 3 " + out + "im-animated.gif"},
      {"pil-transparency.gif", false,
       py + draw + "im.save('" + out + "pil-transparency.gif', transparency=5)\""},
      {"pil-loop-comment.gif", false,
       py + draw + "im.save('" + out + "pil-loop-comment.gif', loop=0, comment=b'map sheet')\""},
      {"pil-32-colours.gif", false,
       py + draw + "im.save('" + out + "pil-32-colours.gif', duration=100, transparency=31)\""},
  };
  for (const Case& c : cases) {
    if (c.byMagick ? !magick : !pillow) continue;
    ASSERT_TRUE(RunShell(c.command)) << c.command;
    const std::string path = out + c.name;
    const gift::GiflibFrame want = gift::DecodeWithGiflib(zt::ReadFileBytes(path));
    ASSERT_TRUE(want.ok) << c.name;
    zt::MessageCapture capture;
    CImageDataModel image;
    ASSERT_EQ(image.ReadImage(path.c_str(), ZENTREL_READ_WIDE), 1) << c.name;
    EXPECT_TRUE(capture.texts().empty()) << c.name;
    EXPECT_EQ(gift::ImageIndices(image), want.indices) << c.name;
    EXPECT_EQ(image.GetTransparentIndex(), want.transparent) << c.name;
    for (int i = 0; i < 256; ++i)
      EXPECT_EQ(image.GetPalette()[i].rgbRed, want.colours[3 * i]) << c.name << " entry " << i;
  }
}

}  // namespace
