// The pipeline on generated sheets of every kind: every shape drawn clear
// of other marks is found, and almost nothing it reports is false.
#include <gtest/gtest.h>

#include "TestSheet.h"
#include "Vectorizer.h"

namespace {

TEST(ShapeRecall, EveryClearShapeFoundOnEverySheetKind) {
  for (const cli::SheetKind& kind : cli::SheetKinds()) {
    cli::ShapeScore total;
    for (unsigned seed : {3u, 11u}) {
      cli::TestSheetPlan plan;
      plan.width = 480;
      plan.height = 360;
      plan.bits = kind.bits;
      plan.paper = kind.paper;
      plan.shapes = 30;
      plan.roads = 2;
      plan.words = 12;
      plan.seed = seed;
      cli::SheetVectorizer sheet;
      const std::vector<cli::DrawnShape> drawn = cli::MakeTestSheet(plan, sheet);
      ASSERT_FALSE(drawn.empty()) << kind.name;
      CImageDataModel mask;
      const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
      const cli::ShapeScore score = cli::ScoreShapes(result, drawn);
      total.clear += score.clear;
      total.clearFound += score.clearFound;
      total.reported += score.reported;
      total.falseShapes += score.falseShapes;
    }
    EXPECT_GT(total.clear, 20) << kind.name;
    EXPECT_EQ(total.clearFound, total.clear) << kind.name;
    EXPECT_LE(total.FalseRate(), 0.02)
        << kind.name << ": " << total.falseShapes << " of " << total.reported;
  }
}

// The sheet's own background colour is the paper: the same drawing on
// white and on grey paper gives the same shapes, and on a record that
// carries another paper colour none of them is found.
TEST(ShapeRecall, PaperColourComesFromTheRecord) {
  cli::TestSheetPlan plan;
  plan.width = 320;
  plan.height = 240;
  plan.shapes = 10;
  plan.roads = 0;
  plan.words = 0;
  plan.seed = 5;
  for (COLORREF paper : {RGB(255, 255, 255), RGB(196, 196, 192)}) {
    plan.paper = paper;
    cli::SheetVectorizer sheet;
    const std::vector<cli::DrawnShape> drawn = cli::MakeTestSheet(plan, sheet);
    CImageDataModel mask;
    const cli::ShapeScore score = cli::ScoreShapes(sheet.Run(cli::VectorizeOptions(), mask), drawn);
    EXPECT_EQ(score.clear, 10);
    EXPECT_EQ(score.clearFound, 10);
    EXPECT_EQ(score.falseShapes, 0);

    sheet.SetBKColor(20, 200, 20);
    EXPECT_EQ(cli::ScoreShapes(sheet.Run(cli::VectorizeOptions(), mask), drawn).clearFound, 0);
  }
}

}  // namespace
