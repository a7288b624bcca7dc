// Painting a record into the off-screen device: the unscaled and stretched
// branches, palette selection and its order, clipping and mirroring.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

// An 8-bit image whose pixel (x, y) has index and grey level 10 y + x + 1.
void MakeNumberedImage(CImageDataModel& image, int width, int height) {
  zt::MakeImage(image, width, height, 8);
  zt::SetGreyTable(image);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) zt::SetIndexAt(image, x, y, static_cast<BYTE>(10 * y + x + 1));
}

COLORREF Numbered(int x, int y) {
  BYTE v = static_cast<BYTE>(10 * y + x + 1);
  return RGB(v, v, v);
}

const COLORREF kWhite = RGB(255, 255, 255);

std::vector<std::string> CallNames(const CDC& dc) {
  std::vector<std::string> names;
  for (UINT i = 0; i < dc.GetCallCount(); ++i) names.push_back(dc.GetCall(i)->name);
  return names;
}

std::int64_t Address(const void* p) {
  return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(p));
}

class ImageWithPalette : public CImageDataModel {
 public:
  void GiveEmptyPaletteObject() { m_pDIBPalette = new CPalette(); }
};

TEST(Painting, UnscaledBranchShowsBottomRowsAndLeftColumns) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(8, 8);
  CRect rect(0, 0, 3, 2);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &rect), 2);
  // Image rows 1 and 2, columns 0 to 2, land at (x, y − 1).
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      COLORREF expected = x < 3 && y < 2 ? Numbered(x, y + 1) : kWhite;
      EXPECT_EQ(dc.GetPixel(x, y), expected) << x << "," << y;
    }
  ASSERT_EQ(dc.GetCallCount(), 2u);
  const CDeviceCall& call = *dc.GetCall(1);
  EXPECT_STREQ(call.name, "SetDIBitsToDevice");
  const std::int64_t expected[] = {
      0, 0, 3, 2, 0, 0, 0, 2, Address(image.GetBuffer()), Address(image.GetBmh()), DIB_RGB_COLORS};
  ASSERT_EQ(call.argCount, 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(call.args[i], expected[i]) << i;

  CDC moved(20, 30);
  CRect placed(10, 20, 13, 22);
  EXPECT_EQ(image.PaintImageToDevice(&moved, &placed), 2);
  EXPECT_EQ(moved.GetPixel(10, 20), Numbered(0, 1));
  EXPECT_EQ(moved.GetPixel(12, 21), Numbered(2, 2));
  EXPECT_EQ(moved.GetPixel(13, 21), kWhite);
  EXPECT_EQ(moved.GetPixel(12, 22), kWhite);
}

TEST(Painting, OneToOneAndDoublingStretchesCopyEveryPixel) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(10, 8);
  CRect same(1, 1, 5, 4);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &same), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dc.GetPixel(1 + x, 1 + y), Numbered(x, y));
  EXPECT_EQ(dc.GetPixel(5, 1), kWhite);
  EXPECT_EQ(dc.GetPixel(1, 4), kWhite);
  const CDeviceCall& call = *dc.GetCall(1);
  EXPECT_STREQ(call.name, "StretchDIBits");
  const std::int64_t expected[] = {1,
                                   1,
                                   4,
                                   3,
                                   0,
                                   0,
                                   4,
                                   3,
                                   Address(image.GetBuffer()),
                                   Address(image.GetBmh()),
                                   DIB_RGB_COLORS,
                                   SRCCOPY};
  ASSERT_EQ(call.argCount, 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(call.args[i], expected[i]) << i;

  CDC big(8, 6);
  CRect doubled(0, 0, 8, 6);
  EXPECT_EQ(image.PaintImageToDevice(&big, &doubled), 6);
  EXPECT_EQ(big.GetStretchBltMode(), COLORONCOLOR);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(big.GetPixel(x, y), Numbered(x / 2, y / 2));
}

TEST(Painting, RectangleSmallerInOneDirectionOnlyStretches) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(6, 6);
  CRect narrow(0, 0, 3, 3);  // one column short, full height
  EXPECT_EQ(image.PaintImageToDevice(&dc, &narrow), 3);
  EXPECT_STREQ(dc.GetCall(1)->name, "StretchDIBits");
  // 4 columns into 3: columns 0, 1 and 2 are sampled, column 3 is dropped.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dc.GetPixel(x, y), Numbered(x, y));

  CDC other(6, 6);
  CRect low(0, 0, 4, 2);  // full width, one row short
  EXPECT_EQ(image.PaintImageToDevice(&other, &low), 2);
  EXPECT_STREQ(other.GetCall(1)->name, "StretchDIBits");
  // 3 rows into 2: rows 0 and 1 are sampled.
  EXPECT_EQ(other.GetPixel(3, 1), Numbered(3, 1));
  EXPECT_EQ(other.GetPixel(3, 2), kWhite);
}

TEST(Painting, PaletteObjectIsSelectedForTheCallAndTheDefaultRestored) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  ASSERT_EQ(image.InitDIBData(), 1);
  HPALETTE own = image.GetDIBPalette()->GetSafeHandle();
  ASSERT_NE(own, nullptr);
  CDC dc(4, 3);
  HPALETTE original = dc.GetCurrentPalette();
  ASSERT_NE(original, nullptr);
  CRect rect(0, 0, 4, 3);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &rect), 3);
  EXPECT_EQ(CallNames(dc), (std::vector<std::string>{"SelectPalette", "SetStretchBltMode",
                                                     "StretchDIBits", "SelectPalette"}));
  const CDeviceCall& select = *dc.GetCall(0);
  EXPECT_EQ(select.args[0], Address(own));
  EXPECT_EQ(select.args[1], TRUE);
  EXPECT_EQ(select.result, Address(original));
  EXPECT_EQ(dc.GetCall(1)->args[0], COLORONCOLOR);
  EXPECT_EQ(dc.GetCall(3)->args[0], Address(original));
  EXPECT_EQ(dc.GetCall(3)->args[1], TRUE);
  EXPECT_EQ(dc.GetCurrentPalette(), original);
  EXPECT_EQ(dc.GetPixel(3, 2), Numbered(3, 2));

  // A palette object without a platform palette: selection refused, nothing restored.
  ImageWithPalette bare;
  MakeNumberedImage(bare, 4, 3);
  bare.GiveEmptyPaletteObject();
  dc.ClearCallLog();
  EXPECT_EQ(bare.PaintImageToDevice(&dc, &rect), 3);
  EXPECT_EQ(CallNames(dc),
            (std::vector<std::string>{"SelectPalette", "SetStretchBltMode", "StretchDIBits"}));
  EXPECT_EQ(dc.GetCall(0)->args[0], 0);
  EXPECT_EQ(dc.GetCall(0)->result, 0);
  EXPECT_EQ(dc.GetCurrentPalette(), original);
}

TEST(Painting, WithoutPaletteObjectNoPaletteCallAndTrueColourComesThrough) {
  CImageDataModel grey;
  MakeNumberedImage(grey, 4, 3);  // 8-bit, InitDIBData not called
  CDC dc(4, 3);
  CRect rect(0, 0, 4, 3);
  EXPECT_EQ(grey.PaintImageToDevice(&dc, &rect), 3);
  EXPECT_EQ(CallNames(dc), (std::vector<std::string>{"SetStretchBltMode", "StretchDIBits"}));

  CImageDataModel colour;
  zt::MakeImage(colour, 3, 2, 24);
  ASSERT_EQ(colour.InitDIBData(), 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) colour.SetPixel(x, y, RGB(40 * x + 1, 100 * y + 2, 200 - x));
  CDC device(3, 2);
  CRect whole(0, 0, 3, 2);
  EXPECT_EQ(colour.PaintImageToDevice(&device, &whole), 2);
  EXPECT_EQ(CallNames(device), (std::vector<std::string>{"SetStretchBltMode", "StretchDIBits"}));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(device.GetPixel(x, y), colour.GetPixel(x, y));
  // The device stores 0xFFRRGGBB.
  EXPECT_EQ(device.GetBits()[3 + 2], 0xFF000000u | (81u << 16) | (102u << 8) | 198u);
}

TEST(Painting, EmptyRecordOrMissingArgumentsPaintNothing) {
  CImageDataModel image;
  CDC dc(4, 4);
  CRect rect(0, 0, 4, 4);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &rect), 0);
  zt::MakeImage(image, 4, 4, 8);
  ASSERT_EQ(image.InitDIBData(), 1);
  ASSERT_EQ(image.FreeImage(), 1);  // the palette object stays
  EXPECT_EQ(image.PaintImageToDevice(&dc, &rect), 0);
  EXPECT_EQ(dc.GetCallCount(), 0u);

  zt::MakeImage(image, 4, 4, 8);
  EXPECT_EQ(image.PaintImageToDevice(nullptr, &rect), 0);
  EXPECT_EQ(image.PaintImageToDevice(&dc, nullptr), 0);
  EXPECT_EQ(dc.GetCallCount(), 0u);
  EXPECT_EQ(dc.GetPixel(0, 0), kWhite);
}

TEST(Painting, ClippedAtTheDeviceEdges) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(3, 2);
  CRect overhang(-2, -1, 2, 2);  // 4 × 3 one-to-one, starting off the device
  EXPECT_EQ(image.PaintImageToDevice(&dc, &overhang), 2);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(dc.GetPixel(0, y), Numbered(2, y + 1));
    EXPECT_EQ(dc.GetPixel(1, y), Numbered(3, y + 1));
    EXPECT_EQ(dc.GetPixel(2, y), kWhite);
  }
  CRect away(5, 0, 9, 3);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &away), 0);
  CRect unscaledAway(0, 2, 3, 4);
  EXPECT_EQ(image.PaintImageToDevice(&dc, &unscaledAway), 0);
}

TEST(Painting, NegativeSizesMirror) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(6, 6);
  CRect mirrored(4, 0, 0, 3);  // width −4 from column 4: columns 4 down to 1
  EXPECT_EQ(image.PaintImageToDevice(&dc, &mirrored), 3);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(dc.GetPixel(0, y), kWhite);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dc.GetPixel(4 - x, y), Numbered(x, y));
  }
  CDC flipped(6, 6);
  CRect upsideDown(0, 2, 4, -1);  // height −3 from row 2: rows 2 down to 0
  EXPECT_EQ(image.PaintImageToDevice(&flipped, &upsideDown), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(flipped.GetPixel(x, 2 - y), Numbered(x, y));
}

TEST(Painting, ExtremeRectanglesWrapWithoutHarm) {
  CImageDataModel image;
  MakeNumberedImage(image, 4, 3);
  CDC dc(4, 3);
  CRect huge(INT_MIN, INT_MIN, INT_MAX, INT_MAX);  // sizes wrap to −1
  EXPECT_EQ(image.PaintImageToDevice(&dc, &huge), 0);
  EXPECT_EQ(dc.GetCall(1)->args[2], -1);
  CRect wide(INT_MIN + 1, 0, INT_MAX, 3);  // width wraps to −2
  image.PaintImageToDevice(&dc, &wide);
  EXPECT_EQ(dc.GetCall(3)->args[2], -2);
  EXPECT_EQ(dc.GetPixel(0, 0), kWhite);
}

}  // namespace
