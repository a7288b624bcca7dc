// The paper colour: found as the most common colour on white, cream and
// grey sheets of both depths, given with --background, and the report of
// why nothing was found.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliTestSupport.h"
#include "Paper.h"

namespace {

using clitest::Contains;
using clitest::RunTool;

struct PaperCase {
  const char* name;
  int bits;
  COLORREF paper;
};

const PaperCase kPapers[] = {
    {"white24", 24, RGB(255, 255, 255)}, {"cream24", 24, RGB(245, 235, 210)},
    {"grey24", 24, RGB(200, 200, 200)},  {"white8", 8, RGB(255, 255, 255)},
    {"grey8", 8, RGB(200, 200, 200)},    {"default8", 8, RGB(235, 235, 235)}};

// paper-auto: the dominant colour survives speckle a few levels off it.
TEST(PaperAuto, DominantColourIsThePaperOfEachKindOfSheet) {
  for (const PaperCase& c : kPapers) {
    CImageDataModel image;
    clitest::DrawSheet(image, c.bits, c.paper, true);
    EXPECT_EQ(cli::DominantColour(image), c.paper) << c.name;
  }
  CImageDataModel empty;
  EXPECT_EQ(cli::DominantColour(empty), RGB(235, 235, 235));
}

// paper-auto: the tool finds the rectangle on any paper by default, and on
// a paper other than the library's default only when it is not told
// otherwise; then it says why nothing was found.
TEST(PaperAuto, VectorizeFindsShapesOnAnyPaperAndSaysWhyWhenItFindsNone) {
  zt::TempDir dir;
  for (const PaperCase& c : kPapers) {
    CImageDataModel image;
    // Speckle only where the pipeline's median filter runs (8-bit sheets).
    clitest::DrawSheet(image, c.bits, c.paper, c.bits == 8);
    const std::string path = dir.File(std::string(c.name) + ".bmp");
    ASSERT_EQ(image.SaveBMPImage(path.c_str()), 1);

    const clitest::Outcome found = RunTool("vectorize " + path);
    ASSERT_EQ(found.status, 0) << found.out;
    EXPECT_TRUE(Contains(
        found.out, "paper " + cli::DescribeColour(c.paper) + " (most common colour), tolerance 15"))
        << found.out;
    EXPECT_TRUE(Contains(found.out, "1 rectangles")) << c.name << found.out;

    const clitest::Outcome given = RunTool("vectorize " + path + " --background EBEBEB");
    ASSERT_EQ(given.status, 0) << given.out;
    if (c.paper == RGB(235, 235, 235)) {
      EXPECT_TRUE(Contains(given.out, "1 rectangles")) << given.out;
    } else {
      // The whole sheet is one ink patch: one outline, cut by the sheet's
      // edge, and no shape.
      EXPECT_TRUE(Contains(given.out,
                           "no rectangle or circle among 1 contours: paper RGB(235, 235, 235) "
                           "(given), tolerance 15 per channel; 24000 of 24000 pixels"))
          << c.name << given.out;
    }
  }
  // A blank sheet: nothing differs from the detected paper.
  CImageDataModel blank;
  blank.InitImage(50, 40, 24);
  for (UINT y = 0; y < 40; ++y)
    for (UINT x = 0; x < 50; ++x) blank.SetPixel(x, y, RGB(250, 250, 240));
  ASSERT_EQ(blank.SaveBMPImage(dir.File("blank.bmp").c_str()), 1);
  const clitest::Outcome empty = RunTool("vectorize " + dir.File("blank.bmp"));
  EXPECT_EQ(empty.status, 0);
  EXPECT_TRUE(Contains(empty.out,
                       "0 of 2000 pixels (0.00%) differ from the paper - the sheet is "
                       "blank"))
      << empty.out;
}

TEST(PaperAuto, BackgroundMustBeAutoOrAColour) {
  for (const char* value : {"12345", "white", "GG0000", ""}) {
    const clitest::Outcome run =
        RunTool("vectorize " + clitest::Sample() + " --background '" + value + "'");
    EXPECT_EQ(run.status, 2) << value;
    EXPECT_TRUE(Contains(run.out, "--background")) << run.out;
  }
  EXPECT_EQ(cli::ParsePaperChoice("A0b1C2").colour, RGB(0xA0, 0xB1, 0xC2));
  EXPECT_TRUE(cli::ParsePaperChoice("auto").automatic);
}

}  // namespace
