// The zentrel tool end to end: exit codes, outputs, and errors on bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "ImageDataModel.h"

namespace {

using clitest::Contains;
using clitest::Outcome;
using clitest::RunTool;
using clitest::Sample;

TEST(Tool, HelpVersionAndUsageErrors) {
  EXPECT_EQ(RunTool("--help").status, 0);
  EXPECT_TRUE(Contains(RunTool("--version").out, "zentrel "));
  for (const char* command : {"info", "convert", "vectorize", "render", "demo"}) {
    const Outcome help = RunTool(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_TRUE(Contains(help.out, std::string("usage: zentrel ") + command)) << help.out;
  }
  EXPECT_EQ(RunTool("").status, 2);
  const Outcome unknown = RunTool("frobnicate");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Contains(unknown.out, "unknown command 'frobnicate'"));
  EXPECT_EQ(RunTool("info").status, 2);
}

TEST(Tool, InfoReportsEachFileAndFailsOnUnreadableOnes) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("junk.bmp"), {'B', 'M', 1, 2, 3}));
  const Outcome ok = RunTool("info " + Sample());
  EXPECT_EQ(ok.status, 0);
  EXPECT_TRUE(Contains(ok.out, "format 3 (GIF), 960 x 640, 8 bits, 256 colours")) << ok.out;

  const Outcome bad = RunTool("info " + Sample() + " " + dir.File("missing.gif") + " " +
                              dir.File("junk.bmp") + " " + dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Contains(bad.out, "960 x 640")) << bad.out;
  EXPECT_TRUE(Contains(bad.out, "missing.gif: No such file or directory")) << bad.out;
  EXPECT_TRUE(Contains(bad.out, "junk.bmp: cannot read it as BMP")) << bad.out;
  EXPECT_TRUE(Contains(bad.out, "is a folder")) << bad.out;
}

TEST(Tool, ConvertAppliesOperationsInOrder) {
  zt::TempDir dir;
  const std::string out = dir.File("out.bmp");
  // --keep-palette: the library's own 8-bit behaviour, which this test shows.
  const Outcome run =
      RunTool("convert " + Sample() + " " + out +
              " --keep-palette left90 flip line=0,0,9,0,FF0000 precision=30 background=EEECE6");
  ASSERT_EQ(run.status, 0) << run.out;
  CImageDataModel image;
  ASSERT_EQ(image.ReadBMPImage(out.c_str()), 1);
  EXPECT_EQ(image.GetWidth(), 640u);
  EXPECT_EQ(image.GetHeight(), 960u);
  // An 8-bit line recolours the colour-table entry of the pixels it touches.
  EXPECT_EQ(image.GetPixel(5, 0), RGB(255, 0, 0));

  CImageDataModel original;
  ASSERT_EQ(original.ReadGIFImage(Sample().c_str()), 1);
  // left90 then flip maps (x, y) to (y, x): a transpose.
  EXPECT_EQ(zt::IndexAt(image, 100, 300), zt::IndexAt(original, 300, 100));
  EXPECT_EQ(zt::IndexAt(image, 330, 20), zt::IndexAt(original, 20, 330));
}

TEST(Tool, ConvertRejectsBadOperationsBeforeWritingAnything) {
  zt::TempDir dir;
  const std::string out = dir.File("out.bmp");
  for (const char* op : {"spin", "rotate=x", "rotate", "denoise=3,3,1", "line=1,2,3,4,GG0000",
                         "precision=41", "flip=1", "background=12345"}) {
    const Outcome run = RunTool("convert " + Sample() + " " + out + " flip " + op);
    EXPECT_EQ(run.status, 2) << op;
    EXPECT_TRUE(Contains(run.out, op)) << run.out;
    struct stat info;
    EXPECT_NE(::stat(out.c_str(), &info), 0) << op;
  }
  // Refused by the library: a 24-bit image cannot be noise-filtered.
  ASSERT_EQ(RunTool("render " + Sample() + " " + dir.File("rgb.bmp")).status, 0);
  const Outcome refused =
      RunTool("convert " + dir.File("rgb.bmp") + " " + out + " denoise=3,3,0,3");
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.out, "'denoise=3,3,0,3' was refused")) << refused.out;
}

TEST(Tool, WrongFormatsAndUnwritableOutputsAreErrors) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("notes.txt"), {'h', 'i'}));
  const Outcome format = RunTool("convert " + dir.File("notes.txt") + " " + dir.File("o.bmp"));
  EXPECT_EQ(format.status, 1);
  EXPECT_TRUE(Contains(format.out, "not a BMP or GIF file")) << format.out;

  const Outcome folder = RunTool("convert " + Sample() + " " + dir.File("no/such/o.bmp"));
  EXPECT_EQ(folder.status, 1);
  EXPECT_TRUE(Contains(folder.out, "cannot write it (no such folder)")) << folder.out;
}

TEST(Tool, RenderPaintsOneToOneAndStretched) {
  zt::TempDir dir;
  ASSERT_EQ(RunTool("render " + Sample() + " " + dir.File("same.bmp")).status, 0);
  const Outcome half =
      RunTool("render " + Sample() + " " + dir.File("half.bmp") + " --size 480x320");
  ASSERT_EQ(half.status, 0) << half.out;
  CImageDataModel original, same, small;
  ASSERT_EQ(original.ReadGIFImage(Sample().c_str()), 1);
  ASSERT_EQ(same.ReadBMPImage(dir.File("same.bmp").c_str()), 1);
  ASSERT_EQ(small.ReadBMPImage(dir.File("half.bmp").c_str()), 1);
  EXPECT_EQ(same.GetColorPixel(), 24);
  EXPECT_EQ(small.GetWidth(), 480u);
  for (UINT y = 0; y < 640; y += 37)
    for (UINT x = 0; x < 960; x += 41) {
      ASSERT_EQ(same.GetPixel(x, y), original.GetPixel(x, y)) << x << "," << y;
      ASSERT_EQ(small.GetPixel(x / 2, y / 2), original.GetPixel(x / 2 * 2, y / 2 * 2));
    }
  EXPECT_EQ(RunTool("render " + Sample() + " x.bmp --size 0x5").status, 2);
}

TEST(Tool, VectorizeWritesJsonAndSvg) {
  zt::TempDir dir;
  const Outcome run = RunTool("vectorize " + Sample() + " --json " + dir.File("s.json") +
                              " --svg " + dir.File("s.svg") + " --outlines " + dir.File("o.bmp"));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Contains(run.out, "14 rectangles, 10 circles")) << run.out;
  const std::vector<std::uint8_t> json = zt::ReadFileBytes(dir.File("s.json"));
  const nlohmann::json report = nlohmann::json::parse(json.begin(), json.end());
  int rectangles = 0;
  for (const nlohmann::json& contour : report.at("contours")) {
    rectangles += contour.at("shape") == "rectangle";
    ASSERT_TRUE(contour.at("kept").at(0).is_array());
    EXPECT_EQ(contour.at("kept").at(0).size(), 2u);
  }
  EXPECT_EQ(rectangles, 14);
  const std::vector<std::uint8_t> svg = zt::ReadFileBytes(dir.File("s.svg"));
  const std::string drawing(svg.begin(), svg.end());
  EXPECT_TRUE(Contains(drawing, "data:image/png;base64,iVBORw0KGgo"));
  EXPECT_TRUE(Contains(drawing, "<rect stroke="));
  EXPECT_TRUE(Contains(drawing, "</svg>"));
  EXPECT_EQ(RunTool("vectorize " + Sample() + " --svg").status, 2);
}

TEST(Tool, DemoRecognisesTheSampleSheet) {
  zt::TempDir dir;
  const Outcome run = RunTool("demo " + dir.File("out"));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Contains(run.out, "rectangles recognised:  14 of 14 drawn")) << run.out;
  EXPECT_TRUE(Contains(run.out, "circles recognised:     8 of 8 drawn")) << run.out;
  EXPECT_TRUE(Contains(run.out, "shapes matching nothing drawn: 0")) << run.out;
  for (const char* file : {"sheet.svg", "sheet.json", "sheet.bmp", "sheet-outlines.bmp"})
    EXPECT_FALSE(zt::ReadFileBytes(dir.File(std::string("out/") + file)).empty()) << file;
}

}  // namespace
