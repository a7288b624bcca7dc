// convert on 8-bit sheets (a 24-bit copy before recolouring operations),
// denoise parameters refused up front, and sheets above the painting limit.
#include <gtest/gtest.h>

#include "CliTestSupport.h"

namespace {

using clitest::Contains;
using clitest::RunTool;

// convert-true-colour: edge, shrink and line on an 8-bit sheet change only
// the pixels they touch; --keep-palette keeps the library's behaviour.
TEST(Convert, ConvertTrueColourChangesOnlyTouchedPixels) {
  zt::TempDir dir;
  CImageDataModel original;
  ASSERT_EQ(original.ReadGIFImage(clitest::Sample().c_str()), 1);
  // A pixel away from the line sharing the colour-table entry of (5, 0).
  const std::uint8_t index = zt::IndexAt(original, 5, 0);
  UINT sx = 0, sy = 0;
  for (UINT y = 10; y < original.GetHeight() && sy == 0; ++y)
    for (UINT x = 0; x < original.GetWidth(); ++x)
      if (zt::IndexAt(original, x, y) == index) {
        sx = x;
        sy = y;
        break;
      }
  ASSERT_NE(sy, 0u);

  struct Case {
    const char* options;
    int bits;
    bool sharedChanges;
  };
  for (const Case& c : {Case{"", 24, false}, Case{"--keep-palette", 8, true}}) {
    const std::string out = dir.File("out.bmp");
    const clitest::Outcome run = RunTool("convert " + clitest::Sample() + " " + out + " " +
                                         c.options + " line=0,0,9,0,FF0000 edge shrink");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::size_t note = run.out.find("made it 24-bit before 'line=0,0,9,0,FF0000'");
    EXPECT_EQ(note != std::string::npos, c.bits == 24) << run.out;
    EXPECT_EQ(run.out.find("made it 24-bit", note + 1), std::string::npos) << "one note only";
    CImageDataModel image;
    ASSERT_EQ(image.ReadBMPImage(out.c_str()), 1);
    EXPECT_EQ(image.GetColorPixel(), c.bits);
    if (c.bits == 24) {
      EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 0, 0)) << "on the image border";
    }
    EXPECT_EQ(image.GetPixel(sx, sy) == RGB(255, 0, 0), c.sharedChanges) << c.options;
  }
}

// denoise-refusal-usage-error: what the library would refuse, or a type it
// would silently ignore, stops the command before anything is read.
TEST(Convert, DenoiseRefusalUsageErrorBeforeReading) {
  for (const char* op :
       {"denoise=0,3,0,3", "denoise=3,11,0,3", "denoise=3,3,0,5", "denoise=3,3,0,-1",
        "denoise=3,3,-1,0", "denoise=3,3,9,3", "denoise=3,3,0,2"}) {
    const clitest::Outcome run = RunTool("convert missing.gif out.bmp " + std::string(op));
    EXPECT_EQ(run.status, 2) << op << run.out;
    EXPECT_TRUE(Contains(run.out, op)) << run.out;
  }
  zt::TempDir dir;
  EXPECT_EQ(
      RunTool("convert " + clitest::Sample() + " " + dir.File("o.bmp") + " denoise=3,3,4,2").status,
      0);
}

// paint-check-only-when-painting: a sheet wider than 10000 pixels is read,
// converted and vectorised; painting it is still refused.
TEST(LargeSheet, PaintCheckOnlyWhenPainting) {
  zt::TempDir dir;
  CImageDataModel wide;
  clitest::DrawSheet(wide, 8, RGB(235, 235, 235), false, 10001, 100);
  const std::string path = dir.File("wide.bmp");
  ASSERT_EQ(wide.SaveBMPImage(path.c_str()), 1);

  const clitest::Outcome info = RunTool("info " + path);
  EXPECT_EQ(info.status, 0) << info.out;
  EXPECT_TRUE(Contains(info.out, "10001 x 100, 8 bits")) << info.out;
  const clitest::Outcome turned = RunTool("convert " + path + " " + dir.File("t.bmp") + " left90");
  EXPECT_EQ(turned.status, 0) << turned.out;
  CImageDataModel check;
  ASSERT_EQ(check.ReadBMPImage(dir.File("t.bmp").c_str()), 1);
  EXPECT_EQ(check.GetHeight(), 10001u);
  const clitest::Outcome shapes = RunTool("vectorize " + path);
  EXPECT_EQ(shapes.status, 0) << shapes.out;
  EXPECT_TRUE(Contains(shapes.out, "1 rectangles")) << shapes.out;

  const clitest::Outcome painted = RunTool("render " + path + " " + dir.File("p.bmp"));
  EXPECT_EQ(painted.status, 1);
  EXPECT_TRUE(Contains(painted.out, "Map is too large")) << painted.out;
}

}  // namespace
