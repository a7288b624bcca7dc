// ReadGIFImage on hand-made files: the record it installs, where the frame
// lands, the refusals and their messages, and the decoder's rules for odd
// streams.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <numeric>
#include <random>

#include "GifTestSupport.h"
#include "support/AllocationFaults.h"

namespace {

using gift::Bytes;
using gift::GifPieces;

class GifRead : public ::testing::Test {
 protected:
  int Read(CImageDataModel& image, const Bytes& file) {
    const std::string path = dir.File("image.gif");
    EXPECT_TRUE(zt::WriteFileBytes(path, file));
    return image.ReadGIFImage(path.c_str());
  }
  // Reads file into a fresh record and returns its indices (fails the test
  // when the read fails).
  Bytes Indices(const Bytes& file) {
    CImageDataModel image;
    EXPECT_EQ(Read(image, file), 1);
    return image.IsEmpty() ? Bytes() : gift::ImageIndices(image);
  }

  gift::ScratchFolder dir;
};

Bytes Pattern(std::size_t count, int modulo, unsigned seed = 1) {
  std::mt19937 random(seed);
  Bytes out(count);
  for (auto& v : out) v = static_cast<std::uint8_t>(random() % static_cast<unsigned>(modulo));
  return out;
}

// Rows of constant value: row r holds r + 1, so row order shows.
Bytes RowNumbers(int width, int height) {
  Bytes out;
  for (int r = 0; r < height; ++r) out.insert(out.end(), static_cast<std::size_t>(width), r + 1);
  return out;
}

TEST_F(GifRead, TenByThreeFrameInstallsAnEightBitImageOfTheScreen) {
  const Bytes indices = Pattern(30, 16);
  GifPieces pieces = gift::SimpleGif(10, 3, indices, 4, 4);
  gift::MakeColours(pieces.globalColours, 16, 7);

  CImageDataModel image;
  image.SetScale(2.5);
  image.SetRange(1, 2, 3, 4);
  ASSERT_EQ(Read(image, gift::Assemble(pieces)), 1);
  EXPECT_EQ(image.GetWidth(), 10u);
  EXPECT_EQ(image.GetHeight(), 3u);
  EXPECT_EQ(image.GetLineBytes(), 12u);
  EXPECT_EQ(image.GetRange(), CRect(0, 0, 9, 2));
  EXPECT_EQ(image.GetScale(), 1.0);
  EXPECT_EQ(image.GetColorPixel(), 8);
  EXPECT_EQ(image.GetImageColors(), 256);
  EXPECT_EQ(image.GetBmh()->biSizeImage, 36u);
  EXPECT_EQ(gift::ImageIndices(image), indices);
  // Padding bytes of each stored row and the spare row stay 0.
  const BYTE* bits = image.GetBuffer();
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(bits[row * 12 + 10], 0);
    EXPECT_EQ(bits[row * 12 + 11], 0);
  }
  for (int i = 0; i < 12; ++i) EXPECT_EQ(bits[36 + i], 0);
  // Colours 0..15 from the file (red, green, blue), 16..255 black.
  const RGBQUAD* table = image.GetPalette();
  for (int i = 0; i < 256; ++i) {
    const bool inFile = i < 16;
    EXPECT_EQ(table[i].rgbRed, inFile ? pieces.globalColours[3 * i] : 0) << i;
    EXPECT_EQ(table[i].rgbGreen, inFile ? pieces.globalColours[3 * i + 1] : 0) << i;
    EXPECT_EQ(table[i].rgbBlue, inFile ? pieces.globalColours[3 * i + 2] : 0) << i;
    EXPECT_EQ(table[i].rgbReserved, 0) << i;
  }
}

TEST_F(GifRead, TinyFileWalkedThroughInTheNotesDecodes) {
  // The file of docs/gif.md, byte by byte: 4 x 1 pixels, indices 1 1 1 2.
  const Bytes file = {'G',  'I',  'F',  '8',  '9',  'a',  0x04, 0x00, 0x01, 0x00, 0x81,
                      0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                      0x00, 0x00, 0xFF, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01,
                      0x00, 0x00, 0x02, 0x02, 0x8C, 0x55, 0x00, 0x3B};
  CImageDataModel image;
  ASSERT_EQ(Read(image, file), 1);
  EXPECT_EQ(gift::ImageIndices(image), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(image.GetPalette()[1].rgbRed, 0xFF);
  EXPECT_EQ(image.GetPalette()[3].rgbBlue, 0xFF);
  EXPECT_EQ(image.GetPalette()[4].rgbBlue, 0);
}

TEST_F(GifRead, RefusedFilesShowTheirMessageAndLeaveTheRecordUntouched) {
  const GifPieces good = gift::SimpleGif(4, 2, Pattern(8, 4), 2, 2);
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  std::vector<Case> cases;
  auto with = [&](auto change) {
    GifPieces p = good;
    change(p);
    return gift::Assemble(p);
  };
  cases.push_back(
      {"GIF88a", with([](GifPieces& p) { p.signature = "GIF88a"; }), "Not a GIF file!"});
  cases.push_back(
      {"gif89a", with([](GifPieces& p) { p.signature = "gif89a"; }), "Not a GIF file!"});
  cases.push_back({"empty file", Bytes(), "Not a GIF file!"});
  cases.push_back(
      {"pixel ratio 49", with([](GifPieces& p) { p.pixelRatio = 49; }), "Corrupt GIF file!"});
  cases.push_back({"local table only", with([](GifPieces& p) {
                     p.globalTable = false;
                     p.localTable = true;
                     p.localBits = 2;
                   }),
                   "File has not color table!\n"});
  cases.push_back(
      {"screen width 0", with([](GifPieces& p) { p.screenWidth = 0; }), "Insufissiant Memory!"});
  cases.push_back({"screen 65535 x 65535", with([](GifPieces& p) {
                     p.screenWidth = 65535;
                     p.screenHeight = 65535;
                   }),
                   "Insufissiant Memory!"});
  cases.push_back({"extension before the image",
                   with([](GifPieces& p) { p.beforeImage = gift::GraphicControlExtension(); }),
                   "Corrupt GIF file (No image separator)!\n"});
  Bytes cut = gift::Assemble(good);
  cut.resize(13 + 12);  // header, screen and table, then nothing
  cases.push_back({"cut after the colour table", cut, "Corrupt GIF file (No image separator)!\n"});

  for (const Case& c : cases) {
    zt::MessageCapture capture;
    CImageDataModel image;
    image.SetScale(3.0);
    image.SetRange(5, 6, 7, 8);
    EXPECT_EQ(Read(image, c.file), 0) << c.name;
    ASSERT_EQ(capture.texts().size(), 1u) << c.name;
    EXPECT_EQ(capture.texts()[0], c.message) << c.name;
    EXPECT_EQ(capture.styles()[0], static_cast<UINT>(MB_OK)) << c.name;
    EXPECT_EQ(image.IsEmpty(), 1) << c.name;
    EXPECT_EQ(image.GetScale(), 3.0) << c.name;
    EXPECT_EQ(image.GetRange(), CRect(5, 6, 7, 8)) << c.name;
  }
}

TEST_F(GifRead, MissingFileAndMinimumCodeSizeAboveElevenFailWithoutMessage) {
  zt::MessageCapture capture;
  CImageDataModel image;
  EXPECT_EQ(image.ReadGIFImage(dir.File("absent.gif").c_str()), 0);

  GifPieces p = gift::SimpleGif(4, 2, Pattern(8, 4), 2, 2);
  p.minCodeSize = 12;
  EXPECT_EQ(Read(image, gift::Assemble(p)), 0);
  p.minCodeSize = 255;
  EXPECT_EQ(Read(image, gift::Assemble(p)), 0);
  EXPECT_TRUE(capture.texts().empty());
  EXPECT_EQ(image.IsEmpty(), 1);

  // 11 is the largest accepted: clear code 2048, codes of 12 bits.
  p = gift::SimpleGif(5, 1, Bytes{1, 2, 3, 2, 1}, 2, 11);
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{1, 2, 3, 2, 1}));
}

TEST_F(GifRead, RealFilesWithAnExtensionBeforeTheImageAreRefused) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  for (const char* name : {"static_nontransparent.gif", "animated_loop_interlaced.gif"}) {
    zt::MessageCapture capture;
    CImageDataModel image;
    EXPECT_EQ(
        image.ReadGIFImage(zt::TestDataPath(std::string("gif-test-suite/gifs/") + name).c_str()),
        0);
    ASSERT_EQ(capture.texts().size(), 1u);
    EXPECT_EQ(capture.texts()[0], "Corrupt GIF file (No image separator)!\n");
  }
}

TEST_F(GifRead, InterlacedFramesOfEightThreeAndOneRows) {
  for (int height : {8, 3, 1, 13}) {
    const Bytes natural = RowNumbers(5, height);
    GifPieces p;
    p.screenWidth = p.imageWidth = 5;
    p.screenHeight = p.imageHeight = height;
    p.interlaced = true;
    p.minCodeSize = 8;
    Bytes stored = gift::InterlaceRows(natural, 5, height);
    // Further indices after the last pass are dropped.
    stored.insert(stored.end(), 15, 200);
    p.data = gift::EncodeData(stored, 8);
    EXPECT_EQ(Indices(gift::Assemble(p)), natural) << height << " rows";
  }
  // The pass order of 8 rows, seen directly: data rows 0..7 land in frame
  // rows 0, 4, 2, 6, 1, 3, 5, 7.
  GifPieces p = gift::SimpleGif(2, 8, RowNumbers(2, 8), 8, 8);
  p.interlaced = true;
  const Bytes result = Indices(gift::Assemble(p));
  const int order[8] = {0, 4, 2, 6, 1, 3, 5, 7};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(result[2 * order[k]], k + 1) << k;
}

TEST_F(GifRead, FrameSmallerThanTheScreenLiesAgainstTheLeftAndBottomEdges) {
  const Bytes frame = Pattern(100 * 50, 255, 3);
  GifPieces p = gift::SimpleGif(100, 50, frame, 8, 8);
  p.screenHeight = 80;
  p.left = 7;  // ignored, as is top
  p.top = 9;
  const Bytes result = Indices(gift::Assemble(p));
  ASSERT_EQ(result.size(), 8000u);
  for (std::size_t i = 0; i < 3000; ++i) ASSERT_EQ(result[i], 0) << i;
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), result.begin() + 3000));

  const Bytes small = Pattern(7 * 5, 9, 4);
  GifPieces q = gift::SimpleGif(7, 5, small, 4, 4);
  q.screenWidth = 20;
  q.screenHeight = 10;
  EXPECT_EQ(Indices(gift::Assemble(q)), gift::PlaceFrame(small, 7, 5, 20, 10));
}

TEST_F(GifRead, FrameLargerThanTheScreenDropsIndicesOutsideTheResult) {
  const Bytes frame = Pattern(30 * 20, 250, 5);
  for (bool interlaced : {false, true}) {
    GifPieces p =
        gift::SimpleGif(30, 20, interlaced ? gift::InterlaceRows(frame, 30, 20) : frame, 8, 8);
    p.interlaced = interlaced;
    p.screenWidth = 10;
    p.screenHeight = 8;
    CImageDataModel image;
    ASSERT_EQ(Read(image, gift::Assemble(p)), 1);
    EXPECT_EQ(gift::ImageIndices(image), gift::PlaceFrame(frame, 30, 20, 10, 8));
    // Row padding (bytes 10 and 11) and the spare row stay 0.
    const BYTE* bits = image.GetBuffer();
    for (int row = 0; row < 8; ++row) EXPECT_EQ(bits[row * 12 + 10] | bits[row * 12 + 11], 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bits[8 * 12 + i], 0);
  }
}

TEST_F(GifRead, LocalColourTableBecomesTheColourTableAndSetsTheMask) {
  const Bytes frame = Pattern(6 * 4, 4, 6);
  GifPieces p = gift::SimpleGif(6, 4, frame, 8, 2);
  p.localTable = true;
  p.localBits = 2;
  gift::MakeColours(p.localColours, 4, 9);
  CImageDataModel image;
  ASSERT_EQ(Read(image, gift::Assemble(p)), 1);
  EXPECT_EQ(gift::ImageIndices(image), frame);
  const RGBQUAD* table = image.GetPalette();
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(table[i].rgbRed, i < 4 ? p.localColours[3 * i] : 0) << i;
    EXPECT_EQ(table[i].rgbBlue, i < 4 ? p.localColours[3 * i + 2] : 0) << i;
  }

  // The literal after a clear is masked with the local table's mask (3),
  // not the global one (15): clear, 6, end with codes of 5 bits.
  GifPieces q;
  q.screenWidth = q.imageWidth = 2;
  q.screenHeight = q.imageHeight = 1;
  q.globalBits = 4;
  q.localTable = true;
  q.localBits = 2;
  q.minCodeSize = 4;
  q.data = gift::SubBlocks(gift::PackCodes({16, 6, 17}, 4));
  EXPECT_EQ(Indices(gift::Assemble(q)), (Bytes{2, 0}));
}

// lzw-long-strings: strings longer than 1026 indices are expanded whole,
// never cut short or replaced by a masked code.
TEST_F(GifRead, LzwLongStringsOfAUniformAreaExpandEveryCodeExactly) {
  // 1000 × 600 of one index: its longest codes stand for over 1026 indices.
  // A ramp in the last row shows any shift.
  Bytes frame(1000 * 600, 7);
  for (int x = 0; x < 1000; ++x) frame[599 * 1000 + x] = static_cast<std::uint8_t>(x % 256);
  std::vector<std::uint32_t> lengths;
  gift::LzwCodes(frame, 8, {}, &lengths);
  ASSERT_GT(*std::max_element(lengths.begin(), lengths.end()), 1026u);
  EXPECT_EQ(Indices(gift::Assemble(gift::SimpleGif(1000, 600, frame, 8, 8))), frame);
}

TEST_F(GifRead, CodesStraddlingARefillDecodeAsIfTheDataWereContiguous) {
  // Noise compresses badly: the data spans several fills of the buffer.
  const Bytes frame = Pattern(400 * 300, 256, 8);
  for (int blockSize : {255, 254, 7}) {
    GifPieces p = gift::SimpleGif(400, 300, frame, 8, 8);
    p.data = gift::SubBlocks(gift::PackCodes(gift::LzwCodes(frame, 8), 8), blockSize);
    const Bytes file = gift::Assemble(p);
    ASSERT_GT(file.size(), 51200u);
    const gift::ReferenceOutcome reference = gift::DecodeReference(file);
    EXPECT_GT(reference.fills, 2) << blockSize;
    EXPECT_GT(reference.takeAheads, 1) << blockSize;
    EXPECT_EQ(Indices(file), frame) << blockSize;
  }
}

TEST_F(GifRead, StreamContinuingAfterAFullTableIsCutAfterItsNextCode) {
  const Bytes frame = Pattern(120 * 100, 256, 10);
  gift::LzwOptions options;
  options.clearWhenFull = false;
  std::vector<std::uint32_t> lengths;
  const auto codes = gift::LzwCodes(frame, 8, options, &lengths);
  GifPieces p = gift::SimpleGif(120, 100, frame, 8, 8);
  p.data = gift::SubBlocks(gift::PackCodes(codes, 8));
  // Codes 1 .. 4096 − 256 after the clear: the last of them arrives with the
  // table full, is stored, and ends the decoding.
  const std::size_t stored =
      std::accumulate(lengths.begin() + 1, lengths.begin() + 1 + (4096 - 256), std::size_t{0});
  ASSERT_LT(stored, frame.size());
  Bytes want(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(stored));
  want.resize(frame.size(), 0);
  EXPECT_EQ(Indices(gift::Assemble(p)), want);
}

TEST_F(GifRead, StreamWithoutEndCodeGoesOnPastTheTerminator) {
  // clear, 1, 2, 3 (3 bits), 0 (4 bits): 16 bits, then the terminator; the
  // bytes after it are taken as further sub-blocks: 1, 2, 3, end (4 bits).
  GifPieces p;
  p.screenWidth = p.imageWidth = 8;
  p.screenHeight = p.imageHeight = 1;
  p.globalBits = 2;
  p.minCodeSize = 2;
  p.data = gift::SubBlocks(gift::PackCodes({4, 1, 2, 3, 0}, 2));
  ASSERT_EQ(p.data.size(), 4u);
  p.trailer = {2, 0x21, 0x53, 0, 0x3B};
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{1, 2, 3, 0, 1, 2, 3, 0}));
  // Without that continuation the decoding stops where the file ends.
  p.trailer.clear();
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST_F(GifRead, DataEndingInMidRowLeavesTheRestOfTheRowZero) {
  // Codes that build strings of 5s up to entry 266 (10 indices), then after
  // a clear strings of 7s up to entry 266 again (now 9 indices), used once
  // more just before the end code, with the row far from full.
  std::vector<std::uint32_t> codes{256, 5};
  for (std::uint32_t c = 258; c <= 266; ++c) codes.push_back(c);
  codes.push_back(256);
  codes.push_back(7);
  codes.push_back(7);
  for (std::uint32_t c = 259; c <= 266; ++c) codes.push_back(c);
  codes.push_back(266);
  codes.push_back(257);
  GifPieces p;
  p.screenWidth = p.imageWidth = 200;
  p.screenHeight = p.imageHeight = 1;
  p.minCodeSize = 8;
  p.data = gift::SubBlocks(gift::PackCodes(codes, 8));
  Bytes want(55, 5);
  want.resize(110, 7);
  want.resize(200, 0);
  EXPECT_EQ(Indices(gift::Assemble(p)), want);
}

TEST_F(GifRead, TruncatedFileKeepsIndexZeroWhereTheDataStops) {
  const Bytes frame = Pattern(64 * 64, 200, 11);
  const Bytes file = gift::Assemble(gift::SimpleGif(64, 64, frame, 8, 8));
  const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
  const Bytes result = Indices(cut);
  ASSERT_EQ(result.size(), frame.size());
  // The top rows decode; the bottom rows stay 0.
  EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 64 * 20, result.begin()));
  EXPECT_TRUE(
      std::all_of(result.end() - 64 * 20, result.end(), [](std::uint8_t v) { return v == 0; }));
  EXPECT_TRUE(gift::SameAsReference(dir, cut));
}

TEST_F(GifRead, StreamWithoutAClearFirstStartsFromZeroedRegisters) {
  // No clear code: the first code is the free code (258), standing for the
  // previous string (code 0) plus the last first index (0); then 5, end.
  GifPieces p;
  p.screenWidth = p.imageWidth = 4;
  p.screenHeight = p.imageHeight = 1;
  p.minCodeSize = 8;
  p.data = gift::SubBlocks(gift::PackCodes({258, 5, 257}, 8));
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{0, 0, 5, 0}));
}

TEST_F(GifRead, FileEndingInsideTheDataGivesBackOnlyTheBytesItRead) {
  // clear, 1, 2, 3 in two bytes of a sub-block, and the file ends there: the
  // codes in the last byte look ahead past the end of the file and find
  // nothing to give back, so the next fill finds the end of the file.
  GifPieces p;
  p.screenWidth = p.imageWidth = 8;
  p.screenHeight = p.imageHeight = 1;
  p.globalBits = 2;
  p.minCodeSize = 2;
  p.data = gift::SubBlocks(gift::PackCodes({4, 1, 2, 3}, 2), 255, false);
  p.trailer.clear();
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST_F(GifRead, CodeAfterAClearIsALiteralEvenWhenItIsTheEndCode) {
  // Eight colours, minimum code size 2: clear (4), end (5) taken as index 5,
  // then 2, then the end code.
  GifPieces p;
  p.screenWidth = p.imageWidth = 4;
  p.screenHeight = p.imageHeight = 1;
  p.globalBits = 3;
  p.minCodeSize = 2;
  p.data = gift::SubBlocks(gift::PackCodes({4, 5, 2, 5}, 2));
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{5, 2, 0, 0}));
}

TEST_F(GifRead, CodesBetweenTheColourCountAndTheClearCodeGiveTwoZeros) {
  // Four colours, minimum code size 4: code 9 is neither an index nor an
  // assigned entry; it expands through the zeroed table to 0, 0.
  GifPieces p;
  p.screenWidth = p.imageWidth = 5;
  p.screenHeight = p.imageHeight = 1;
  p.globalBits = 2;
  p.minCodeSize = 4;
  p.data = gift::SubBlocks(gift::PackCodes({16, 1, 9, 2, 17}, 4));
  EXPECT_EQ(Indices(gift::Assemble(p)), (Bytes{1, 0, 0, 2, 0}));
}

// lzw-literal-codes: a code is a literal index only below the first free
// code; above it, even within the colour count, it is a table entry.
TEST_F(GifRead, LzwLiteralCodesTableCodesBelowTheColourCountAreExpandedNotTakenAsIndices) {
  // 256 colours but a minimum code size of 2 (an encoder that sizes codes
  // by the indices used): codes 6 .. 255 are table entries.
  Bytes frame;
  for (int i = 0; i < 3000; ++i) frame.push_back(static_cast<std::uint8_t>((i / 3 + i / 7) % 4));
  EXPECT_EQ(Indices(gift::Assemble(gift::SimpleGif(60, 50, frame, 8, 2))), frame);
}

TEST_F(GifRead, PositionPastTheBufferAfterOneByteFillsReadsZero) {
  // After a first sub-block, a long chain of one-byte fills ([1, x, 0]) with
  // codes of 12 bits: each code takes 12 bits while each fill gives 8, so
  // the bit position passes the end of the data buffer.
  GifPieces p;
  p.screenWidth = p.imageWidth = 16;
  p.screenHeight = p.imageHeight = 16;
  p.minCodeSize = 11;
  p.data = {1, 0};
  for (int i = 0; i < 120000; ++i) {
    p.data.push_back(1);
    p.data.push_back(static_cast<std::uint8_t>(i % 3 ? 0x80 : 0x08));
    p.data.push_back(0);
  }
  const Bytes file = gift::Assemble(p);
  const gift::ReferenceOutcome reference = gift::DecodeReference(file);
  ASSERT_EQ(reference.result, 1);
  EXPECT_GT(reference.largestByteIndex, reference.bufferBytes);
  EXPECT_TRUE(gift::SameAsReference(dir, file));
}

TEST_F(GifRead, OnlyTheFirstFrameOfAnAnimationIsLoaded) {
  const Bytes first = Pattern(6 * 6, 16, 12);
  GifPieces p = gift::SimpleGif(6, 6, first, 4, 4);
  // A second frame of other indices after the first.
  GifPieces second = gift::SimpleGif(6, 6, Pattern(6 * 6, 16, 13), 4, 4);
  Bytes secondFrame = gift::Assemble(second);
  secondFrame.erase(secondFrame.begin(), secondFrame.begin() + 13 + 48);
  p.trailer = gift::GraphicControlExtension();
  p.trailer.insert(p.trailer.end(), secondFrame.begin(), secondFrame.end());
  EXPECT_EQ(Indices(gift::Assemble(p)), first);
}

// read-releases-held: a loaded file's image replaces the held one, which is
// released (the sanitizer build's leak check sees any block kept); a
// refused file leaves it held.
TEST_F(GifRead, ReadReleasesHeldImageOnlyWhenTheNewOneLoads) {
  const Bytes a = Pattern(8 * 8, 16, 14);
  const Bytes b = Pattern(5 * 3, 16, 15);
  CImageDataModel image;
  ASSERT_EQ(Read(image, gift::Assemble(gift::SimpleGif(8, 8, a, 4, 4))), 1);
  ASSERT_EQ(Read(image, gift::Assemble(gift::SimpleGif(5, 3, b, 4, 4))), 1);
  EXPECT_EQ(image.GetWidth(), 5u);
  EXPECT_EQ(gift::ImageIndices(image), b);
  // A failed read leaves the held image as it was.
  zt::MessageCapture capture;
  EXPECT_EQ(Read(image, Bytes{'G', 'I', 'F'}), 0);
  EXPECT_EQ(gift::ImageIndices(image), b);
}

TEST_F(GifRead, OutOfMemoryForTheImageOrTheDataBufferShowsItsMessage) {
  const Bytes file = gift::Assemble(gift::SimpleGif(4, 4, Pattern(16, 4), 2, 2));
  const char* messages[] = {"Insufissiant Memory!", "Cann't Alloc Ram!\n"};
  for (long n = 1; n <= 2; ++n) {
    zt::MessageCapture capture;
    CImageDataModel image;
    zt::FailNthAllocation fail(n);
    EXPECT_EQ(Read(image, file), 0) << n;
    EXPECT_TRUE(fail.Triggered()) << n;
    ASSERT_EQ(capture.texts().size(), 1u) << n;
    EXPECT_EQ(capture.texts()[0], messages[n - 1]);
    EXPECT_EQ(image.IsEmpty(), 1);
  }
}

// Every way a read can fail after the image block was made: the decoder
// releases the block (the sanitizer build's leak check sees any it keeps),
// and the record keeps the image it held.
TEST_F(GifRead, ReadsFailingAfterTheBlockIsMadeLeaveNothingBehind) {
  const GifPieces good = gift::SimpleGif(4, 2, Pattern(8, 4), 2, 2);
  struct Case {
    const char* name;
    GifPieces file;
    DWORD flags;
    long failAllocation;  // 0: none refused
  };
  std::vector<Case> cases;
  GifPieces p = good;
  p.beforeImage = gift::GraphicControlExtension();
  cases.push_back({"extension before the image", p, 0, 0});
  p = good;
  p.minCodeSize = 12;
  cases.push_back({"minimum code size 12", p, 0, 0});
  cases.push_back({"minimum code size 12, widened", p, ZENTREL_READ_GIF_EXTENSIONS, 0});
  p = good;
  p.globalTable = false;
  cases.push_back({"no colour table at all, widened", p, ZENTREL_READ_GIF_EXTENSIONS, 0});
  p = good;
  p.beforeImage = {0x21, 0xFE, 200, 'x'};  // a comment running past the end
  cases.push_back({"extension framing cut, widened", p, ZENTREL_READ_GIF_EXTENSIONS, 0});
  cases.push_back({"no memory for the data buffer", good, 0, 2});

  const Bytes held = Pattern(3 * 3, 4, 7);
  CImageDataModel image;
  ASSERT_EQ(Read(image, gift::Assemble(gift::SimpleGif(3, 3, held, 2, 2))), 1);
  const std::string path = dir.File("failing.gif");
  for (const Case& c : cases) {
    ASSERT_TRUE(zt::WriteFileBytes(path, gift::Assemble(c.file)));
    zt::MessageCapture capture;
    std::unique_ptr<zt::FailNthAllocation> fail;
    if (c.failAllocation) fail = std::make_unique<zt::FailNthAllocation>(c.failAllocation);
    EXPECT_EQ(image.ReadGIFImage(path.c_str(), c.flags), 0) << c.name;
    if (fail) {
      EXPECT_TRUE(fail->Triggered()) << c.name;
    }
    fail.reset();
    EXPECT_EQ(gift::ImageIndices(image), held) << c.name;
  }
}

TEST_F(GifRead, FileErrorWhileReadingFailsWithoutMessage) {
  // Reading this process's memory at address 0 fails with an I/O error.
  std::ifstream probe("/proc/self/mem");
  if (!probe) GTEST_SKIP() << "no /proc/self/mem";
  zt::MessageCapture capture;
  CImageDataModel image;
  EXPECT_EQ(image.ReadGIFImage("/proc/self/mem"), 0);
  EXPECT_TRUE(capture.texts().empty());
  EXPECT_EQ(image.IsEmpty(), 1);
}

}  // namespace
