// The tool's PNG, TIFF and PNM input and output: formats recognised by
// content, output chosen by extension or --format, standard input and
// output, and usage errors before anything is read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "CliTestSupport.h"
#include "ImageDataModel.h"
#include "support/TestSupport.h"

#ifdef ZENTREL_TEST_HAVE_IO
#include "ZentrelIO.h"

namespace {

using clitest::Outcome;
using clitest::RunTool;

// The pixels of any file the tool reads, through the library that reads it.
std::vector<COLORREF> Pixels(const std::string& path, UINT& w, UINT& h) {
  CImageDataModel image;
  const std::vector<std::uint8_t> head = zt::ReadFileBytes(path);
  const bool core = head.size() > 3 && ((head[0] == 'B' && head[1] == 'M') ||
                                        (head[0] == 'G' && head[1] == 'I' && head[2] == 'F'));
  if (core ? !(head[0] == 'B' ? image.ReadBMPImage(path.c_str()) : image.ReadGIFImage(path.c_str()))
           : !zentrel::io::ReadImage(path, image))
    return {};
  w = image.GetWidth(), h = image.GetHeight();
  std::vector<COLORREF> out;
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) out.push_back(image.GetPixel(x, y));
  return out;
}

void ExpectSamePixels(const std::string& a, const std::string& b, const std::string& what) {
  UINT wa = 0, ha = 0, wb = 0, hb = 0;
  const std::vector<COLORREF> pa = Pixels(a, wa, ha), pb = Pixels(b, wb, hb);
  ASSERT_FALSE(pa.empty()) << what;
  EXPECT_EQ(wa, wb) << what;
  EXPECT_EQ(ha, hb) << what;
  EXPECT_TRUE(pa == pb) << what;
}

std::string Magic(const std::string& path) {
  const std::vector<std::uint8_t> b = zt::ReadFileBytes(path);
  if (b.size() > 4 && b[0] == 0x89 && b[1] == 'P') return "png";
  if (b.size() > 4 && b[0] == 'I' && b[1] == 'I') return "tif";
  if (b.size() > 2 && b[0] == 'B' && b[1] == 'M') return "bmp";
  if (b.size() > 2 && b[0] == 'P' && b[1] == '5') return "pgm";
  if (b.size() > 2 && b[0] == 'P' && b[1] == '6') return "ppm";
  return "?";
}

TEST(ToolFormats, ToolReadByContentAndWriteByExtension) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "test data missing";
  zt::TempDir dir;
  const std::string sheet = std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif";
  // Inputs under misleading names prove that content, not the name, decides.
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("fax.dat"),
                                 zt::ReadFileBytes(zt::TestDataPath("libtiffpic/fax2d.tif"))));
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("palette.bmp"),
                                 zt::ReadFileBytes(zt::TestDataPath("pngsuite/basn3p08.png"))));
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("sheet.img"), zt::ReadFileBytes(sheet)));
  const struct {
    std::string input, output, format;
  } cases[] = {
      {dir.File("fax.dat"), "fax.png", "png"},
      {dir.File("palette.bmp"), "p.TIFF", "tif"},
      {dir.File("sheet.img"), "s.tif", "tif"},
      {zt::TestDataPath("libtiffpic/quad-tile.tif"), "q.ppm", "ppm"},
      {zt::TestDataPath("libtiffpic/jim___cg.tif"), "g.pgm", "pgm"},
      {zt::TestDataPath("pngsuite/basn2c08.png"), "c.bmp", "bmp"},
  };
  for (const auto& c : cases) {
    const std::string out = dir.File(c.output);
    const Outcome run = RunTool("convert " + c.input + " " + out);
    ASSERT_EQ(run.status, 0) << c.output << ": " << run.out;
    EXPECT_EQ(Magic(out), c.format) << c.output;
    ExpectSamePixels(c.input, out, c.output);
    // ... and back: what was written reads to the same pixels as a PPM.
    ASSERT_EQ(RunTool("convert " + out + " " + dir.File("back.ppm")).status, 0) << c.output;
    ExpectSamePixels(out, dir.File("back.ppm"), c.output + " back");
  }
}

TEST(ToolFormats, DashMeansStandardInputAndOutput) {
  if (!zt::HaveTestData()) GTEST_SKIP() << "test data missing";
  zt::TempDir dir;
  const std::string tif = zt::TestDataPath("libtiffpic/g3test.tif");
  const std::string sheet = std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif";
  ASSERT_EQ(RunTool("convert - " + dir.File("a.png") + " < " + tif).status, 0);
  ExpectSamePixels(tif, dir.File("a.png"), "stdin TIFF");
  ASSERT_EQ(RunTool("convert - " + dir.File("s.png") + " < " + sheet).status, 0);
  ExpectSamePixels(sheet, dir.File("s.png"), "stdin GIF");
  for (const char* format : {"png", "tif", "ppm", "bmp"}) {
    const Outcome run = RunTool("convert " + sheet + " - --format " + format, true);
    ASSERT_EQ(run.status, 0) << format;
    const std::string out = dir.File(std::string("out.") + format);
    ASSERT_TRUE(zt::WriteFileBytes(out, std::vector<std::uint8_t>(run.out.begin(), run.out.end())));
    ExpectSamePixels(sheet, out, std::string("stdout ") + format);
  }
}

TEST(ToolFormats, ToolUnknownExtensionIsAUsageErrorBeforeAnythingIsRead) {
  zt::TempDir dir;
  const std::string missing = dir.File("missing.tif");
  for (const std::string& args :
       {"convert " + missing + " " + dir.File("out.jpg"), "convert " + missing + " -",
        "convert " + missing + " " + dir.File("x.png") + " --format jpeg",
        "convert " + missing + " " + dir.File("x.png") + " --format"}) {
    const Outcome run = RunTool(args);
    EXPECT_EQ(run.status, 2) << args << ": " << run.out;
    EXPECT_EQ(run.out.find("missing.tif"), std::string::npos) << run.out;
  }
  ASSERT_TRUE(
      zt::WriteFileBytes(dir.File("cut.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}));
  const Outcome damaged = RunTool("convert " + dir.File("cut.png") + " " + dir.File("o.tif"));
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.out.find("cut.png: cannot read it (damaged file"), std::string::npos)
      << damaged.out;
  struct stat info;
  EXPECT_NE(::stat(dir.File("o.tif").c_str(), &info), 0);
}

}  // namespace
#endif
