// The pipeline's edges: borders longer than the compressor takes at once,
// shapes measured where they were drawn, and records it cannot work on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ShapeFit.h"
#include "Vectorizer.h"

namespace {

void Fill(CImageDataModel& image, int left, int top, int right, int bottom, COLORREF colour) {
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) image.SetPixel(x, y, colour);
}

CImageDataModel* PaperSheet(cli::SheetVectorizer& sheet, int width, int height) {
  sheet.InitImage(width, height, 24);
  Fill(sheet, 0, 0, width - 1, height - 1, RGB(255, 255, 255));
  sheet.SetBKColor(255, 255, 255);
  return &sheet;
}

// A 60 x 30 rectangle is 59 x 29 through its border pixels' centres, just
// past the 2.03 : 1 the library's ratio test allows: the pipeline accepts
// it on its fitted sides (rectangle-aspect-margin).
TEST(Pipeline, RectangleAspectMargin_TwoToOneRectangleFound) {
  cli::SheetVectorizer sheet;
  PaperSheet(sheet, 200, 120);
  Fill(sheet, 20, 30, 79, 59, RGB(30, 30, 30));
  for (int y = 0; y < 120; ++y)
    for (int x = 100; x < 200; ++x)
      if (std::hypot(x - 150, y - 60) <= 25) sheet.SetPixel(x, y, RGB(40, 60, 200));
  CImageDataModel mask;
  const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
  ASSERT_EQ(result.contours.size(), 2u);
  const cli::Contour& rect = result.contours[0];
  std::vector<POINT> closed(rect.kept);
  closed.push_back(closed.front());
  int size = 0;
  POINT centre{0, 0};
  EXPECT_EQ(sheet.IsRectangle(static_cast<int>(closed.size()), closed.data(), size, centre), 0);
  EXPECT_EQ(rect.shape, 2);
  EXPECT_NEAR(rect.centre.x, 49.5, 1);
  EXPECT_NEAR(rect.centre.y, 44.5, 1);
  EXPECT_NEAR(rect.length, 59, 1.5);
  EXPECT_NEAR(rect.width, 29, 1.5);
  EXPECT_EQ(rect.regionColour, RGB(30, 30, 30));
  const cli::Contour& disc = result.contours[1];
  EXPECT_EQ(disc.shape, 1);
  EXPECT_NEAR(disc.centre.x, 150, 1);
  EXPECT_NEAR(disc.centre.y, 60, 1);
  EXPECT_NEAR(disc.size, 24.5, 1.5);
}

// A sheet read with the wrong paper colour is one ink patch whose border is
// the sheet's edge: no rectangle (edge-cut-not-shape); a shape the edge cuts
// is no shape either. Every other border still has a size
// (other-outline-size).
TEST(Pipeline, EdgeCutNotShape_OtherOutlineSize) {
  cli::SheetVectorizer sheet;
  PaperSheet(sheet, 200, 120);
  Fill(sheet, 60, 30, 119, 79, RGB(30, 30, 30));  // clear of the edges
  Fill(sheet, 150, 40, 199, 89, RGB(30, 30, 30));  // cut by the right edge
  CImageDataModel mask;
  cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
  ASSERT_EQ(result.contours.size(), 2u);
  EXPECT_EQ(result.contours[0].shape, 2);
  EXPECT_EQ(result.contours[1].shape, 0);
  EXPECT_GT(result.contours[1].size, 0);
  sheet.SetBKColor(235, 235, 235);  // white is then ink too
  result = sheet.Run(cli::VectorizeOptions(), mask);
  for (const cli::Contour& c : result.contours) {
    EXPECT_TRUE(c.hole || c.shape == 0) << c.points.size();
    EXPECT_GT(c.size, 0);
  }
}

// The outline picture is the ink mask: paper in the paper colour, ink grey,
// border cells red (outlines-as-mask); the sheet itself is left as it was
// read, speckle included (vectorize-sheet-unchanged).
TEST(Pipeline, OutlinesAsMask_VectorizeSheetUnchanged) {
  cli::SheetVectorizer sheet;
  PaperSheet(sheet, 120, 80);
  Fill(sheet, 20, 20, 69, 49, RGB(30, 30, 30));
  sheet.SetPixel(100, 10, RGB(0, 0, 0));  // a speck
  CImageDataModel mask;
  sheet.Run(cli::VectorizeOptions(), mask);
  ASSERT_EQ(mask.GetColorPixel(), 8);
  EXPECT_EQ(mask.GetWidth(), 120u);
  EXPECT_EQ(mask.GetPixel(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(mask.GetPixel(40, 20), RGB(255, 0, 0));
  EXPECT_EQ(mask.GetPixel(40, 35), RGB(150, 150, 150));
  EXPECT_EQ(mask.GetPixel(100, 10), RGB(255, 255, 255));
  EXPECT_EQ(sheet.GetPixel(100, 10), RGB(0, 0, 0));
  EXPECT_EQ(sheet.GetPixel(40, 35), RGB(30, 30, 30));
}

// The paper inside a frame is four-sided but not a shape; the inside of a
// ring is a circle (hole-not-rectangle).
TEST(Pipeline, HoleNotRectangle_RingInsideIsACircle) {
  cli::SheetVectorizer sheet;
  PaperSheet(sheet, 240, 120);
  Fill(sheet, 20, 20, 99, 99, RGB(30, 30, 30));
  Fill(sheet, 30, 30, 89, 89, RGB(255, 255, 255));
  for (int y = 0; y < 120; ++y)
    for (int x = 120; x < 240; ++x) {
      const double d = std::hypot(x - 180, y - 60);
      if (d <= 40 && d >= 30) sheet.SetPixel(x, y, RGB(40, 60, 200));
    }
  CImageDataModel mask;
  const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
  std::vector<std::pair<bool, int>> found;  // hole?, shape
  for (const cli::Contour& c : result.contours) found.emplace_back(c.hole, c.shape);
  const std::vector<std::pair<bool, int>> expected = {{false, 2}, {false, 1}, {true, 0}, {true, 1}};
  EXPECT_EQ(found, expected);
}

// A comb: one patch whose border is far longer than the 32767 points the
// compressor counts; it is compressed piece by piece.
TEST(Pipeline, CompressesBordersLongerThanTheCompressorTakes) {
  cli::SheetVectorizer sheet;
  PaperSheet(sheet, 1000, 260);
  Fill(sheet, 10, 10, 989, 14, RGB(0, 0, 0));
  for (int x = 10; x < 990; x += 4) Fill(sheet, x, 15, x + 1, 249, RGB(0, 0, 0));
  CImageDataModel mask;
  cli::VectorizeOptions options;
  options.denoise = false;
  const cli::VectorizeResult result = sheet.Run(options, mask);
  ASSERT_EQ(result.contours.size(), 1u);
  const cli::Contour& comb = result.contours[0];
  EXPECT_GT(comb.points.size(), 100000u);
  EXPECT_EQ(comb.shape, 0);
  // Every tooth keeps points at its foot and its tip, the last tooth too.
  EXPECT_GE(comb.kept.size(), 2u * 245);
  LONG right = 0;
  for (const POINT& p : comb.kept) {
    ASSERT_GE(p.x, 10);
    ASSERT_LE(p.x, 989);
    right = std::max(right, p.x);
  }
  EXPECT_GE(right, 985);
}

TEST(Pipeline, NothingToDoOnAnEmptyRecord) {
  cli::SheetVectorizer sheet;
  CImageDataModel mask;
  const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
  EXPECT_TRUE(result.contours.empty());
  EXPECT_TRUE(mask.IsEmpty());
}

TEST(ShapeFit, SmallestRectangleOfATurnedRectangleAndItsSettledSides) {
  // The corners of a 40 x 20 rectangle turned by 30 degrees, and the points
  // along its sides.
  const double a = 30 * 3.14159265358979 / 180, ux = std::cos(a), uy = std::sin(a);
  std::vector<POINT> outline;
  for (int i = 0; i < 120; ++i) {
    const double t = i / 120.0 * 4;
    const int side = static_cast<int>(t);
    const double f = t - side;
    double u = 0, v = 0;
    if (side == 0) u = -20 + 40 * f, v = -10;
    if (side == 1) u = 20, v = -10 + 20 * f;
    if (side == 2) u = 20 - 40 * f, v = 10;
    if (side == 3) u = -20, v = 10 - 20 * f;
    outline.push_back(POINT{static_cast<LONG>(std::lround(500 + u * ux - v * uy)),
                            static_cast<LONG>(std::lround(300 + u * uy + v * ux))});
  }
  const cli::RotatedRect fit = cli::SmallestEnclosingRectangle(cli::ConvexHull(outline));
  EXPECT_NEAR(fit.length, 40, 1.5);
  EXPECT_NEAR(fit.width, 20, 1.5);
  EXPECT_NEAR(fit.angle, a, 0.05);
  EXPECT_NEAR(fit.cx, 500, 1);
  EXPECT_NEAR(fit.cy, 300, 1);
  EXPECT_LT(cli::ShareOffRectangle(outline, fit, 1.5), 0.01);
  EXPECT_LT(cli::FarthestCornerGap(outline, fit), 1.5);
  // A five-pixel stub on one side widens the smallest rectangle, not the
  // settled one.
  outline.push_back(POINT{static_cast<LONG>(std::lround(500 + 15 * uy)),
                          static_cast<LONG>(std::lround(300 - 15 * ux))});
  const cli::RotatedRect wide = cli::SmallestEnclosingRectangle(cli::ConvexHull(outline));
  const cli::RotatedRect settled = cli::SettleSides(outline, wide);
  EXPECT_GT(wide.width, 23);
  EXPECT_NEAR(settled.width, 20, 1.5);
  EXPECT_NEAR(settled.length, 40, 1.5);
}

}  // namespace
