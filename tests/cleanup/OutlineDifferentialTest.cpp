// Outline marking and shrinking against plain passes through the public
// pixel operations, on random images of both depths: 8-bit images whose
// pixels share few colour-table entries (so every write recolours many
// pixels), backgrounds near the mark colour, and every precision.
#include <gtest/gtest.h>

#include <cstdint>

#include "NoiseImages.h"
#include "OutlineReference.h"

namespace {

/// A colour near c: each channel moved by up to spread.
COLORREF Near(COLORREF c, int spread, zt::TestRandom& random) {
  auto channel = [&](int v) {
    v += random.Between(-spread, spread);
    return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
  };
  // One draw per statement: the order of a call's arguments is unspecified,
  // and the scenes must not depend on the compiler.
  const BYTE red = channel(GetRValue(c));
  const BYTE green = channel(GetGValue(c));
  return RGB(red, green, channel(GetBValue(c)));
}

COLORREF AnyColour(zt::TestRandom& random) {
  const int red = random.Between(0, 255);
  const int green = random.Between(0, 255);
  return RGB(red, green, random.Between(0, 255));
}

/// A random image whose colours are drawn from a few near the background,
/// a few ink colours and the mark colour.
void MakeScene(CImageDataModel& image, int bits, zt::TestRandom& random) {
  const int width = random.Between(1, 40);
  zt::MakeImage(image, width, random.Between(1, 30), bits);
  COLORREF background = RGB(235, 235, 235);
  if (random.Between(0, 3) == 0) {
    const int red = random.Between(240, 255);
    background = RGB(red, random.Between(0, 12), 0);
  }
  image.SetBKColor(GetRValue(background), GetGValue(background), GetBValue(background));
  image.SetPrecision(random.Between(15, 40));
  COLORREF colours[8];
  for (int i = 0; i < 8; ++i) {
    if (i < 3)
      colours[i] = Near(background, 30, random);
    else if (i == 7)
      colours[i] = 0xFF;
    else
      colours[i] = AnyColour(random);
  }
  const int levels = random.Between(2, 8);
  // A 24-bit image has no colour table (GetPalette() is its pixel rows).
  for (int i = 0; bits == 8 && i < 8; ++i)
    image.GetPalette()[i] = RGBQUAD{GetBValue(colours[i]), GetGValue(colours[i]),
                                    GetRValue(colours[i]), static_cast<BYTE>(i)};
  for (UINT y = 0; y < image.GetHeight(); ++y) {
    for (UINT x = 0; x < image.GetWidth(); ++x) {
      const int pick = random.Between(0, levels - 1);
      if (bits == 8)
        zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(pick));
      else
        image.SetPixel(x, y, random.Between(0, 1) ? colours[pick] : Near(colours[pick], 8, random));
    }
  }
}

/// Runs the fast operation and the plain pass on the same random images.
template <class Fast, class Plain>
void ExpectSameAsReference(std::uint64_t seed, Fast fast, Plain plain) {
  zt::TestRandom random(seed);
  for (int round = 0; round < 400; ++round) {
    CImageDataModel image;
    MakeScene(image, round % 2 ? 8 : 24, random);
    CImageDataModel reference;
    zt::CopyImage(image, reference);
    const COLORREF background = image.GetBKColor();
    reference.SetBKColor(GetRValue(background), GetGValue(background), GetBValue(background));
    reference.SetPrecision(image.GetPrecision());
    ASSERT_EQ(fast(image), plain(reference));
    ASSERT_EQ(zt::BlockBytes(image), zt::BlockBytes(reference)) << "round " << round;
  }
}

TEST(OutlineDifferential, EdgeMatchesThePixelByPixelPass) {
  ExpectSameAsReference(
      404, [](CImageDataModel& image) { return image.Edge(); }, zt::ReferenceEdge);
}

TEST(OutlineDifferential, ShrinkMatchesThePixelByPixelPass) {
  ExpectSameAsReference(
      505, [](CImageDataModel& image) { return image.Shrink(); }, zt::ReferenceShrink);
}

}  // namespace
