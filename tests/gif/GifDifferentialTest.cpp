// The library's reader against the step-by-step reference on many generated
// files, valid and broken: same result, same messages, same block bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "GifTestSupport.h"

namespace {

using gift::Bytes;
using gift::GifPieces;

class Maker {
 public:
  explicit Maker(unsigned seed) : m_random(seed) {}

  int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
  bool Chance(int percent) { return Int(0, 99) < percent; }

  // A frame's indices: noise, flat areas with thin lines, or runs.
  Bytes Indices(int count, int colours) {
    Bytes out(static_cast<std::size_t>(count));
    const int kind = Int(0, 2);
    int run = 0;
    std::uint8_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (kind == 0) {
        value = static_cast<std::uint8_t>(Int(0, colours - 1));
      } else if (run-- <= 0) {
        run = kind == 1 ? Int(1, 200) : Int(1, 6);
        value = static_cast<std::uint8_t>(Int(0, colours - 1));
      }
      out[static_cast<std::size_t>(i)] = value;
    }
    return out;
  }

  Bytes RandomBytes(int count) {
    Bytes out(static_cast<std::size_t>(count));
    for (auto& b : out) b = static_cast<std::uint8_t>(Int(0, 255));
    return out;
  }

  // A frame with an LZW stream made by the encoder, in a random setting.
  GifPieces ValidFrame(int maxSide) {
    GifPieces p;
    p.imageWidth = Int(1, maxSide);
    p.imageHeight = Int(1, maxSide);
    p.screenWidth = Chance(70) ? p.imageWidth : Int(1, maxSide + 8);
    p.screenHeight = Chance(70) ? p.imageHeight : Int(1, maxSide + 8);
    p.signature = Chance(50) ? "GIF89a" : "GIF87a";
    p.globalBits = Int(1, 8);
    int bits = p.globalBits;
    if (Chance(20)) {
      p.localTable = true;
      p.localBits = Int(1, 8);
      bits = p.localBits;
    }
    p.interlaced = Chance(30);
    p.minCodeSize = Chance(85) ? std::max(2, bits) : Int(0, 11);
    const int colours = std::min(1 << bits, 1 << p.minCodeSize);
    const Bytes frame = Indices(p.imageWidth * p.imageHeight, std::max(colours, 1));
    gift::LzwOptions options;
    options.initialClear = Chance(95);
    options.endCode = Chance(90);
    options.clearWhenFull = Chance(90);
    p.data = gift::SubBlocks(
        gift::PackCodes(gift::LzwCodes(frame, p.minCodeSize, options), p.minCodeSize),
        Chance(70) ? 255 : Int(1, 255), Chance(95));
    return p;
  }

  // Codes of any value, with clear and end codes now and then. chain is
  // the share (percent) of codes that extend the last string (the free code
  // or the one just assigned), which builds long strings.
  Bytes RandomCodes(int minCodeSize, int count, int chain = 25, int clears = 3) {
    const std::uint32_t clear = 1u << minCodeSize;
    std::vector<std::uint32_t> codes{clear};
    std::uint32_t free = clear + 2;
    bool literal = true;  // the code after a clear
    for (int i = 0; i < count; ++i) {
      const int kind = Int(0, 99);
      std::uint32_t code;
      if (literal && kind < 90)
        code = static_cast<std::uint32_t>(Int(0, static_cast<int>(clear) - 1));
      else if (kind < clears)
        code = clear;
      else if (kind < clears + 1)
        code = clear + 1;
      else if (kind < clears + 1 + chain)
        code = std::min(free - static_cast<std::uint32_t>(Int(0, 1)), 4095u);
      else if (kind < 60)
        code = static_cast<std::uint32_t>(Int(0, static_cast<int>(clear) - 1));
      else if (kind < 90)
        code = static_cast<std::uint32_t>(Int(0, static_cast<int>(std::min(free + 2, 4095u))));
      else
        code = static_cast<std::uint32_t>(Int(0, 4095));
      codes.push_back(code);
      if (!literal && code != clear) free = std::min(free + 1, 4096u);
      if (code == clear) {
        free = clear + 2;
        if (chain > 0) chain = Int(10, 95);  // segments of long and of short strings
      }
      literal = code == clear;
    }
    return gift::SubBlocks(gift::PackCodes(codes, minCodeSize), Int(1, 255));
  }

  // Damage: flipped bytes, a cut, garbage after the end.
  void Damage(Bytes& file, std::size_t dataStart) {
    const int kind = Int(0, 3);
    if (kind == 0 && file.size() > dataStart) {
      for (int n = Int(1, 6); n > 0; --n)
        file[static_cast<std::size_t>(
            Int(static_cast<int>(dataStart), static_cast<int>(file.size()) - 1))] =
            static_cast<std::uint8_t>(Int(0, 255));
    } else if (kind == 1) {
      file.resize(static_cast<std::size_t>(Int(0, static_cast<int>(file.size()))));
    } else if (kind == 2) {
      const Bytes tail = RandomBytes(Int(1, 600));
      file.insert(file.end(), tail.begin(), tail.end());
    } else {
      file[static_cast<std::size_t>(Int(0, static_cast<int>(file.size()) - 1))] ^=
          static_cast<std::uint8_t>(1 << Int(0, 7));
    }
  }

 private:
  std::mt19937 m_random;
};

std::size_t DataStart(const GifPieces& p) {
  return 13 + (p.globalTable ? 3u << p.globalBits : 0) + p.beforeImage.size() + 10 +
         (p.localTable ? 3u << p.localBits : 0) + 1;
}

class GifDifferential : public ::testing::Test {
 protected:
  gift::ScratchFolder dir;
};

TEST_F(GifDifferential, ValidFramesInEverySetting) {
  Maker make(101);
  for (int i = 0; i < 700; ++i) {
    const Bytes file = gift::Assemble(make.ValidFrame(40));
    ASSERT_TRUE(gift::SameAsReference(dir, file)) << "case " << i;
  }
}

TEST_F(GifDifferential, DamagedFrames) {
  Maker make(202);
  for (int i = 0; i < 900; ++i) {
    const GifPieces p = make.ValidFrame(30);
    Bytes file = gift::Assemble(p);
    make.Damage(file, DataStart(p));
    ASSERT_TRUE(gift::SameAsReference(dir, file)) << "case " << i;
  }
}

TEST_F(GifDifferential, RandomCodeStreams) {
  Maker make(303);
  for (int i = 0; i < 500; ++i) {
    GifPieces p = make.ValidFrame(24);
    p.data = make.RandomCodes(p.minCodeSize, make.Int(1, 900));
    ASSERT_TRUE(gift::SameAsReference(dir, gift::Assemble(p))) << "case " << i;
  }
}

TEST_F(GifDifferential, LongStringsAcrossClearsEndingAnywhere) {
  // Entries reassigned after clears, long strings written straight into wide
  // rows, and streams ending in mid-row.
  Maker make(707);
  for (int i = 0; i < 600; ++i) {
    GifPieces p = make.ValidFrame(8);
    p.imageWidth = make.Int(16, 300);
    p.imageHeight = make.Int(1, 200);
    p.screenWidth = make.Chance(80) ? p.imageWidth : make.Int(1, 320);
    p.screenHeight = make.Chance(80) ? p.imageHeight : make.Int(1, 220);
    p.minCodeSize = std::max(p.minCodeSize, 1);
    p.data = make.RandomCodes(p.minCodeSize, make.Int(20, 400), make.Int(40, 90), make.Int(2, 10));
    ASSERT_TRUE(gift::SameAsReference(dir, gift::Assemble(p))) << "case " << i;
  }
}

TEST_F(GifDifferential, RandomBytesAfterAValidHeader) {
  Maker make(404);
  for (int i = 0; i < 400; ++i) {
    GifPieces p = make.ValidFrame(24);
    p.data = make.Chance(50)
                 ? gift::SubBlocks(make.RandomBytes(make.Int(0, 1500)), make.Int(1, 255))
                 : make.RandomBytes(make.Int(0, 1500));
    p.trailer = make.RandomBytes(make.Int(0, 40));
    ASSERT_TRUE(gift::SameAsReference(dir, gift::Assemble(p))) << "case " << i;
  }
}

TEST_F(GifDifferential, RandomHeaders) {
  // Screen descriptors, tables and image descriptors of random bytes.
  Maker make(505);
  for (int i = 0; i < 400; ++i) {
    GifPieces p = make.ValidFrame(16);
    Bytes file = gift::Assemble(p);
    for (int n = make.Int(1, 4); n > 0; --n)
      file[static_cast<std::size_t>(
          make.Int(6, static_cast<int>(std::min<std::size_t>(file.size(), 40)) - 1))] =
          static_cast<std::uint8_t>(make.Int(0, 255));
    // Keep the screen small: the reference holds the block in memory.
    file[7] = static_cast<std::uint8_t>(file[7] & 1);
    file[9] = static_cast<std::uint8_t>(file[9] & 1);
    ASSERT_TRUE(gift::SameAsReference(dir, file)) << "case " << i;
  }
}

TEST_F(GifDifferential, FilesAboveOneFillWithStraddlingCodes) {
  // Over 51200 bytes: codes straddle fills of the data buffer, with every
  // sub-block size (200 fills the buffer to exactly 51200 bytes) and with
  // damage.
  Maker make(606);
  for (int i = 0; i < 8; ++i) {
    GifPieces p;
    p.imageWidth = p.screenWidth = make.Int(270, 320);
    p.imageHeight = p.screenHeight = make.Int(270, 320);
    p.interlaced = make.Chance(30);
    p.minCodeSize = make.Int(6, 8);
    p.globalBits = p.minCodeSize;
    Bytes frame = make.RandomBytes(p.imageWidth * p.imageHeight);
    for (auto& v : frame) v = static_cast<std::uint8_t>(v % (1 << p.minCodeSize));
    p.data = gift::SubBlocks(gift::PackCodes(gift::LzwCodes(frame, p.minCodeSize), p.minCodeSize),
                             i % 3 == 0   ? 255
                             : i % 3 == 1 ? 200
                                          : make.Int(1, 254));
    Bytes file = gift::Assemble(p);
    ASSERT_GT(file.size(), 51200u);
    if (i % 2) make.Damage(file, DataStart(p));
    ASSERT_TRUE(gift::SameAsReference(dir, file)) << "case " << i;
  }
}

TEST_F(GifDifferential, FillOfExactlyTheThresholdFollowedByTinySubBlocks) {
  // 256 sub-blocks of 200 bytes fill the buffer to exactly 51200 bytes; the
  // fill takes one more sub-block, here of 1 or 2 bytes, so codes straddle
  // fills next to short sub-blocks. Leading codes of 9 bits shift the
  // stream across the boundary bit by bit.
  Maker make(808);
  const Bytes frame = make.RandomBytes(250 * 250);
  const auto frameCodes = gift::LzwCodes(frame, 8);
  for (int shift = 0; shift < 14; ++shift) {
    GifPieces p;
    p.imageWidth = p.screenWidth = 250;
    p.imageHeight = p.screenHeight = 250;
    p.minCodeSize = 8;
    std::vector<std::uint32_t> codes{256};
    for (int k = 0; k < shift; ++k) codes.push_back(static_cast<std::uint32_t>(k));
    codes.insert(codes.end(), frameCodes.begin(), frameCodes.end());
    std::vector<int> sizes(256, 200);
    sizes.push_back(shift < 12 ? 1 : 2);
    sizes.push_back(255);
    p.data = gift::SubBlocksOfSizes(gift::PackCodes(codes, 8), sizes);
    ASSERT_TRUE(gift::SameAsReference(dir, gift::Assemble(p))) << "shift " << shift;
  }
}

TEST_F(GifDifferential, FuzzedPublicFiles) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "no test data";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(zt::TestDataPath("libnsgif/afl"))) {
    if (entry.path().extension() != ".gif") continue;
    const Bytes file = zt::ReadFileBytes(entry.path().string());
    ASSERT_TRUE(gift::SameAsReference(dir, file)) << entry.path();
    // The same file made to pass the header checks, so that its damaged
    // data reaches the decoder.
    ASSERT_TRUE(gift::SameAsReference(dir, gift::PassingHeaderChecks(file, 300))) << entry.path();
    ++compared;
  }
  EXPECT_GT(compared, 250);
}

}  // namespace
