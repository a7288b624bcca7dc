// The packed mask the pipeline runs on agrees with the byte mask at every
// stage, on masks whose widths fall on and beside its word boundaries.
#include <gtest/gtest.h>

#include <vector>

#include "Borders.h"
#include "InkMask.h"
#include "TestSheet.h"
#include "Vectorizer.h"

namespace {

// A 24-bit sheet on white paper with 'percent' of its pixels dark.
void RandomSheet(CImageDataModel& sheet, int width, int height, int percent, unsigned seed) {
  ASSERT_TRUE(sheet.InitImage(width, height, 24));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const bool ink = static_cast<int>((seed >> 16) % 100) < percent;
      sheet.SetPixel(x, y, ink ? RGB(20, 20, 20) : RGB(255, 255, 255));
    }
  sheet.SetBKColor(255, 255, 255);
  sheet.SetPrecision(15);
}

// The packed mask's cells, each as the byte mask's value.
std::vector<BYTE> Cells(const cli::PackedMask& mask) {
  std::vector<BYTE> cells;
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x) cells.push_back(mask.Get(x, y));
  return cells;
}

std::vector<BYTE> Cells(const cli::MaskView& view) {
  std::vector<BYTE> cells;
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x) cells.push_back(*view.At(x, y));
  return cells;
}

bool SameBorders(const std::vector<cli::Border>& a, const std::vector<cli::Border>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].hole != b[i].hole || a[i].cells.size() != b[i].cells.size()) return false;
    for (std::size_t k = 0; k < a[i].cells.size(); ++k)
      if (a[i].cells[k].x != b[i].cells[k].x || a[i].cells[k].y != b[i].cells[k].y) return false;
  }
  return true;
}

TEST(PackedMask, AgreesWithTheByteMaskThroughEveryStage) {
  const int sizes[][2] = {{3, 3}, {31, 7}, {32, 9}, {33, 12}, {64, 20}, {97, 41}, {130, 5}};
  for (const auto& size : sizes)
    for (int percent : {15, 55, 85}) {
      const std::string name = std::to_string(size[0]) + "x" + std::to_string(size[1]) + " at " +
                               std::to_string(percent) + "%";
      CImageDataModel sheet, bytes;
      RandomSheet(sheet, size[0], size[1], percent, static_cast<unsigned>(size[0] * percent));
      cli::PackedMask packed;
      ASSERT_TRUE(cli::BuildInkMask(sheet, bytes)) << name;
      ASSERT_TRUE(cli::BuildInkMask(sheet, packed)) << name;
      const cli::MaskView view = cli::ViewOf(bytes);
      ASSERT_EQ(Cells(packed), Cells(view)) << name << ": built";
      cli::MajorityFilter(view);
      cli::MajorityFilter(packed);
      ASSERT_EQ(Cells(packed), Cells(view)) << name << ": filtered";
      // Unfiltered ink too, where borders meet most.
      for (bool filtered : {true, false}) {
        if (!filtered) {
          ASSERT_TRUE(cli::BuildInkMask(sheet, bytes));
          ASSERT_TRUE(cli::BuildInkMask(sheet, packed));
        }
        const cli::MaskView again = cli::ViewOf(bytes);
        std::vector<cli::Border> fromBytes, fromPacked;
        cli::FollowBorders(again, [&](cli::Border& b) { fromBytes.push_back(b); });
        cli::FollowBorders(packed, [&](cli::Border& b) { fromPacked.push_back(b); });
        EXPECT_TRUE(SameBorders(fromPacked, fromBytes)) << name << (filtered ? "" : ", unfiltered");
        // The marks the borders left, which the outline picture shows.
        EXPECT_EQ(Cells(packed), Cells(again)) << name;
        CImageDataModel picture;
        ASSERT_TRUE(cli::PaintMask(packed, sheet.GetBKColor(), picture));
        EXPECT_EQ(Cells(cli::ViewOf(picture)), Cells(again)) << name;
        EXPECT_EQ(picture.GetPixel(0, 0), bytes.GetPixel(0, 0)) << name;
      }
    }
}

// Without the outline picture the pipeline finds exactly what it finds with it.
TEST(PackedMask, RunWithoutOutlinesFindsTheSame) {
  cli::TestSheetPlan plan;
  plan.width = 400;
  plan.height = 300;
  plan.shapes = 20;
  plan.seed = 3;
  cli::SheetVectorizer sheet;
  cli::MakeTestSheet(plan, sheet);
  sheet.SetBKColor(GetRValue(plan.paper), GetGValue(plan.paper), GetBValue(plan.paper));
  CImageDataModel outlines;
  const cli::VectorizeResult with = sheet.Run(cli::VectorizeOptions(), outlines);
  const cli::VectorizeResult without = sheet.Run(cli::VectorizeOptions());
  ASSERT_FALSE(outlines.IsEmpty());
  ASSERT_GT(with.contours.size(), 10u);
  ASSERT_EQ(without.contours.size(), with.contours.size());
  EXPECT_EQ(without.maskCells, with.maskCells);
  for (std::size_t i = 0; i < with.contours.size(); ++i) {
    const cli::Contour &a = with.contours[i], &b = without.contours[i];
    EXPECT_EQ(a.points.size(), b.points.size()) << i;
    EXPECT_EQ(a.kept.size(), b.kept.size()) << i;
    EXPECT_EQ(a.shape, b.shape) << i;
    EXPECT_EQ(a.size, b.size) << i;
    EXPECT_EQ(a.regionColour, b.regionColour) << i;
  }
}

}  // namespace
