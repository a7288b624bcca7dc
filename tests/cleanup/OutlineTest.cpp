// Outline tests and outline marking: diagonal neighbours only, the colour
// match threshold, the border rule, in-place effects and the colour table of
// 8-bit images.
#include <gtest/gtest.h>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

constexpr COLORREF kRed = 0xFF;
constexpr COLORREF kInk = RGB(20, 40, 160);

/// A 24-bit image filled with the record's background colour.
void MakeBlank(CImageDataModel& image, int width, int height) {
  zt::MakeImage(image, width, height, 24);
  for (UINT y = 0; y < static_cast<UINT>(height); ++y)
    for (UINT x = 0; x < static_cast<UINT>(width); ++x) image.SetPixel(x, y, image.GetBKColor());
}

TEST(IsEdge, OnlyDiagonalNeighboursAndTheBorderDecide) {
  // A lone pixel is an outline pixel, and Edge paints it.
  CImageDataModel lone;
  MakeBlank(lone, 3, 3);
  lone.SetPixel(1, 1, kInk);
  EXPECT_EQ(lone.IsEdge(1, 1), 1);
  EXPECT_EQ(lone.IsEdge(1, 1, kInk), 1);
  EXPECT_EQ(lone.IsEdge(0, 1), 0);  // background is never an outline
  EXPECT_EQ(lone.Edge(), 1);
  EXPECT_EQ(lone.GetPixel(1, 1), kRed);

  // Centre and corners foreground, sides background: no outline pixel, and
  // Edge leaves the centre; the corners lie on the border: outline pixels
  // that Edge never paints.
  CImageDataModel cross;
  MakeBlank(cross, 3, 3);
  for (UINT p : {0u, 2u}) {
    cross.SetPixel(p, 0, kInk);
    cross.SetPixel(p, 2, kInk);
  }
  cross.SetPixel(1, 1, kInk);
  EXPECT_EQ(cross.IsEdge(1, 1), 0);
  EXPECT_EQ(cross.IsEdge(1, 1, kInk), 0);
  EXPECT_EQ(cross.IsEdge(2, 0), 1);
  EXPECT_EQ(cross.IsEdge(0, 2, kInk), 1);
  EXPECT_EQ(cross.IsEdge(0, 2, cross.GetBKColor()), 0);
  EXPECT_EQ(cross.Edge(), 1);
  EXPECT_EQ(cross.GetPixel(1, 1), kInk);
  EXPECT_EQ(cross.GetPixel(2, 0), kInk);
}

TEST(IsEdge, ColourMatchThresholdIsStrictAtEachPrecision) {
  // precision → threshold: 15 → 54, 20 → 72, 40 → 144.
  const int precisions[] = {15, 20, 40};
  const int thresholds[] = {54, 72, 144};
  for (int i = 0; i < 3; ++i) {
    CImageDataModel image;
    MakeBlank(image, 3, 3);
    image.SetPrecision(precisions[i]);
    const int t = thresholds[i];
    const COLORREF colour = RGB(0, 0, 0);
    // Every pixel t − 1 away from the colour.
    const COLORREF near = RGB(t - 1, 0, 0);
    for (UINT y = 0; y < 3; ++y)
      for (UINT x = 0; x < 3; ++x) image.SetPixel(x, y, near);
    EXPECT_EQ(image.IsEdge(1, 1, colour), 0) << t;  // matches, and so do its neighbours

    const COLORREF atThreshold = RGB(t, 0, 0);
    image.SetPixel(2, 2, atThreshold);  // a diagonal neighbour that does not match
    EXPECT_EQ(image.IsEdge(1, 1, colour), 1) << t;
    EXPECT_EQ(image.IsEdge(2, 2, colour), 0) << t;  // distance t itself is no match
    image.SetPixel(2, 2, near);
    image.SetPixel(1, 2, atThreshold);  // a side neighbour: ignored
    EXPECT_EQ(image.IsEdge(1, 1, colour), 0) << t;
  }
}

TEST(IsEdge, PositionsOutsideTheImageAndEmptyRecords) {
  CImageDataModel image;
  MakeBlank(image, 4, 4);
  // Outside a held image the distance reads 0: a match, beyond the border.
  EXPECT_EQ(image.IsEdge(4, 1, kInk), 1);
  EXPECT_EQ(image.IsEdge(1, 100, kInk), 1);
  // The background form reads nothing there and reports no outline.
  EXPECT_EQ(image.IsEdge(4, 1), 0);
  EXPECT_EQ(image.IsEdge(0xFFFFFFFFu, 0xFFFFFFFFu), 0);

  CImageDataModel empty;
  EXPECT_EQ(empty.IsEdge(0, 0), 0);
  EXPECT_EQ(empty.IsEdge(0, 0, kInk), 0);
  EXPECT_EQ(empty.IsEdge(5, 5, 0), 0);
}

TEST(Edge, MarksTheOuterRingOfARectangleAndNothingElse) {
  CImageDataModel image;
  MakeBlank(image, 10, 9);
  for (UINT y = 2; y <= 6; ++y)
    for (UINT x = 2; x <= 7; ++x) image.SetPixel(x, y, kInk);
  image.SetPixel(0, 4, kInk);  // on the border: an outline, but never painted
  EXPECT_EQ(image.Edge(), 1);
  for (UINT y = 0; y < 9; ++y) {
    for (UINT x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x <= 7 && y >= 2 && y <= 6;
      const bool ring = inside && (x == 2 || x == 7 || y == 2 || y == 6);
      COLORREF expected = ring ? kRed : (inside ? kInk : image.GetBKColor());
      if (x == 0 && y == 4) expected = kInk;
      EXPECT_EQ(image.GetPixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(Edge, PaintedPixelsCountAsBackgroundWhenTheBackgroundIsNearRed) {
  // Background RGB(250, 5, 5): the mark colour passes the background test,
  // so each painted row exposes the row below it and the whole block turns
  // red, not just its ring.
  CImageDataModel image;
  zt::MakeImage(image, 7, 7, 24);
  image.SetBKColor(250, 5, 5);
  for (UINT y = 0; y < 7; ++y)
    for (UINT x = 0; x < 7; ++x)
      image.SetPixel(x, y, (x >= 1 && x <= 5 && y >= 1 && y <= 5) ? kInk : image.GetBKColor());
  EXPECT_EQ(image.Edge(), 1);
  for (UINT y = 1; y <= 5; ++y)
    for (UINT x = 1; x <= 5; ++x) EXPECT_EQ(image.GetPixel(x, y), kRed) << x << "," << y;
}

TEST(Edge, EightBitPaintingRecoloursEveryPixelOfTheIndex) {
  CImageDataModel image;
  zt::MakeImage(image, 8, 8, 8);
  RGBQUAD* table = image.GetPalette();
  table[0] = RGBQUAD{235, 235, 235, 0};  // background
  table[1] = RGBQUAD{160, 40, 20, 7};    // ink; the reserved byte must survive
  table[2] = RGBQUAD{10, 200, 10, 0};
  for (UINT y = 2; y <= 5; ++y)
    for (UINT x = 2; x <= 5; ++x) zt::SetIndexAt(image, x, y, y == 4 && x == 4 ? 1 : 2);
  zt::SetIndexAt(image, 2, 2, 1);  // a ring pixel sharing index 1 with an inner one
  EXPECT_EQ(image.Edge(), 1);
  EXPECT_EQ(image.GetPixel(4, 4), kRed);  // inner, but its index was painted
  EXPECT_EQ(table[1].rgbReserved, 7);
  EXPECT_EQ(zt::IndexAt(image, 2, 2), 1);  // indices never change
  EXPECT_EQ(image.GetPixel(3, 3), kRed);   // index 2 was painted by the ring as well
  EXPECT_EQ(image.GetPixel(0, 0), RGB(235, 235, 235));
}

TEST(Edge, SmallAndEmptyImages) {
  for (int size : {1, 2}) {
    CImageDataModel image;
    MakeBlank(image, size == 1 ? 5 : 2, size == 1 ? 1 : 5);
    image.SetPixel(0, 0, kInk);
    EXPECT_EQ(image.Edge(), 1);
    EXPECT_EQ(image.GetPixel(0, 0), kInk);
  }
  CImageDataModel empty;
  EXPECT_EQ(empty.Edge(), 0);
}

}  // namespace
