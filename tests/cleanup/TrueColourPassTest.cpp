// The row-wise background test of 24-bit images on each of its ways (pixel
// by pixel, SSE2, AVX2 and AVX-512 where the processor has them) against the per-pixel
// test, and the 24-bit outline and shrink passes built on it against the
// plain passes through the public pixel operations, on images wide enough
// for several words of bits and runs that cross them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "NoiseImages.h"
#include "OutlineReference.h"
#include "cleanup/BackgroundBits.h"
#include "image/ColourTests.h"

namespace cleanup = zentrel::detail::cleanup;
using zentrel::detail::BackgroundTest;

namespace {

using Path = cleanup::BackgroundBits::Path;
const Path kPaths[] = {Path::kByPixel, Path::kSse2, Path::kAvx2, Path::kAvx512};

BYTE NearChannel(int value, int spread, zt::TestRandom& random) {
  value += random.Between(-spread, spread);
  return static_cast<BYTE>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

TEST(BackgroundBits, EveryPathGivesThePerPixelTest) {
  zt::TestRandom random(71);
  const int precisions[] = {15, 20, 40, 1, 255, 256, 0, -3, 300};
  for (int round = 0; round < 300; ++round) {
    const COLORREF background = RGB(random.Between(0, 255), random.Between(0, 255),
                                    round % 5 == 0 ? 255 : random.Between(0, 255));
    const int precision = precisions[round % 9];
    const UINT width = static_cast<UINT>(random.Between(1, 230));
    // Pixels at and around the precision's edge in each channel.
    const int spread = precision > 0 && precision < 200 ? precision + 2 : 260;
    std::vector<BYTE> row(3 * width + 1);
    for (UINT x = 0; x < width; ++x) {
      row[3 * x] = NearChannel(GetBValue(background), spread, random);
      row[3 * x + 1] = NearChannel(GetGValue(background), spread, random);
      row[3 * x + 2] = NearChannel(GetRValue(background), spread, random);
    }
    const BackgroundTest want(background, precision);
    for (Path path : kPaths) {
      const cleanup::BackgroundBits test(background, precision, path);
      std::vector<std::uint64_t> bits(cleanup::BitWords(width), ~std::uint64_t{0});
      test.Row(row.data(), width, bits.data());
      for (UINT x = 0; x < 64 * bits.size(); ++x) {
        const bool expected = x < width && want(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
        ASSERT_EQ((bits[x / 64] >> (x % 64)) & 1, expected ? 1u : 0u)
            << "path " << static_cast<int>(path) << " pixel " << x << " of " << width
            << " precision " << precision;
      }
    }
  }
}

/// A 24-bit image of horizontal runs in a few colours near the background,
/// a few ink colours and pure red, so that runs of removals and marks cross
/// words of bits.
void MakeRunScene(CImageDataModel& image, zt::TestRandom& random) {
  zt::MakeImage(image, random.Between(3, 300), random.Between(3, 14), 24);
  const bool redIsNear = random.Between(0, 2) == 0;
  const COLORREF background =
      redIsNear ? RGB(random.Between(240, 255), random.Between(0, 12), 0) : RGB(235, 235, 235);
  image.SetBKColor(GetRValue(background), GetGValue(background), GetBValue(background));
  image.SetPrecision(random.Between(15, 40));
  COLORREF colours[6] = {background, 0xFF, 0, 0, 0, 0};
  for (int i = 2; i < 6; ++i)
    colours[i] = i < 4
                     ? RGB(NearChannel(GetRValue(background), 30, random),
                           NearChannel(GetGValue(background), 30, random),
                           NearChannel(GetBValue(background), 30, random))
                     : RGB(random.Between(0, 255), random.Between(0, 255), random.Between(0, 255));
  const int inkShare = random.Between(1, 9);
  for (UINT y = 0; y < image.GetHeight(); ++y) {
    UINT x = 0;
    while (x < image.GetWidth()) {
      const int pick =
          random.Between(0, 9) < inkShare ? random.Between(4, 5) : random.Between(0, 3);
      const UINT length = static_cast<UINT>(random.Between(1, 90));
      for (UINT end = x + length; x < end && x < image.GetWidth(); ++x)
        image.SetPixel(x, y, colours[pick == 1 && !redIsNear ? 4 : pick]);
    }
  }
}

/// Runs a 24-bit pass on each path of the background test, and the
/// record's own operation, against the plain pass.
template <class Pass, class Operation, class Plain>
void ExpectSameAsReference(std::uint64_t seed, Pass pass, Operation operation, Plain plain) {
  zt::TestRandom random(seed);
  for (int round = 0; round < 150; ++round) {
    CImageDataModel source;
    MakeRunScene(source, random);
    CImageDataModel reference;
    zt::CopyImage(source, reference);
    reference.SetBKColor(GetRValue(source.GetBKColor()), GetGValue(source.GetBKColor()),
                         GetBValue(source.GetBKColor()));
    reference.SetPrecision(source.GetPrecision());
    ASSERT_EQ(plain(reference), 1);
    const std::vector<std::uint8_t> want = zt::BlockBytes(reference);
    for (Path path : kPaths) {
      CImageDataModel image;
      zt::CopyImage(source, image);
      const auto rows = zentrel::detail::Raster::Rows(image.GetBuffer(), image.GetWidth(),
                                                      image.GetHeight(), image.GetLineBytes(), 24);
      const cleanup::BackgroundBits test(source.GetBKColor(), source.GetPrecision(), path);
      ASSERT_TRUE(pass(rows, test, source.GetBKColor()));
      ASSERT_EQ(zt::BlockBytes(image), want)
          << "round " << round << " path " << static_cast<int>(path) << " image "
          << image.GetWidth() << "x" << image.GetHeight();
    }
    CImageDataModel image;
    zt::CopyImage(source, image);
    image.SetBKColor(GetRValue(source.GetBKColor()), GetGValue(source.GetBKColor()),
                     GetBValue(source.GetBKColor()));
    image.SetPrecision(source.GetPrecision());
    ASSERT_EQ(operation(image), 1);
    ASSERT_EQ(zt::BlockBytes(image), want) << "round " << round << " through the record";
  }
}

TEST(TrueColourPasses, OutlineMarkingMatchesThePixelByPixelPass) {
  ExpectSameAsReference(
      606,
      [](const cleanup::Raster& rows, const cleanup::BackgroundBits& test, COLORREF) {
        return cleanup::MarkOutlinesTrueColour(rows, test, 0xFF);
      },
      [](CImageDataModel& image) { return image.Edge(); }, zt::ReferenceEdge);
}

TEST(TrueColourPasses, ShrinkingMatchesThePixelByPixelPass) {
  ExpectSameAsReference(
      707,
      [](const cleanup::Raster& rows, const cleanup::BackgroundBits& test, COLORREF background) {
        return cleanup::ShrinkTrueColour(rows, test, background);
      },
      [](CImageDataModel& image) { return image.Shrink(); }, zt::ReferenceShrink);
}

}  // namespace
