// The tool loads its GDAL module only for what needs GDAL: BMP and GIF
// sheets written as JSON or SVG never map it; vector outputs, world files
// beside a sheet (in any of the names GDAL tries) and --world do.
#include <gtest/gtest.h>

#include <fstream>

#include "CliTestSupport.h"

#ifdef ZENTREL_TEST_GDAL

namespace {

using clitest::Contains;

// Runs the tool with the loader reporting every library it maps.
clitest::Outcome RunWatched(const std::string& arguments) {
  return clitest::RunCommand("LD_DEBUG=files " + std::string(ZENTREL_TOOL) + " " + arguments);
}

bool LoadedGdal(const clitest::Outcome& run) {
  return Contains(run.out, "zentrel-gdal") || Contains(run.out, "libgdal");
}

TEST(GdalModule, LoadedOnlyForWhatNeedsGdal) {
  zt::TempDir dir;
  CImageDataModel sheet;
  clitest::DrawSheet(sheet, 8, RGB(255, 255, 255), false);
  ASSERT_EQ(sheet.SaveBMPImage(dir.File("sheet.bmp").c_str()), 1);
  const std::string bmp = dir.File("sheet.bmp");
  const std::string world = "1\n0\n0\n-1\n500\n800\n";
  struct Case {
    std::string name, arguments, worldFile;  // worldFile: written beside the sheet first
    bool gdal;
  };
  const std::vector<Case> cases = {
      {"json and svg", "vectorize " + bmp + " --json " + dir.File("o.json") + " --svg " +
                           dir.File("o.svg"),
       "", false},
      {"gif sample", "vectorize " + clitest::Sample() + " --json " + dir.File("g.json"), "", false},
      {"outline picture", "vectorize " + bmp + " --outlines " + dir.File("o.bmp"), "", false},
      {"batch of json", "vectorize --out-dir " + dir.File("out") + " --formats json,svg " + bmp, "",
       false},
      {"geojson", "vectorize " + bmp + " --geojson " + dir.File("o.geojson"), "", true},
      {"--world", "vectorize " + bmp + " --world " + dir.File("w.txt"), "", true},
      {"first and last letter", "vectorize " + bmp, "sheet.bpw", true},
      {"upper case", "vectorize " + bmp, "sheet.BPW", true},
      {"extension and w", "vectorize " + bmp, "sheet.bmpw", true},
      {"wld", "vectorize " + bmp, "sheet.wld", true},
  };
  std::ofstream(dir.File("w.txt")) << world;
  for (const Case& c : cases) {
    for (const char* name : {"sheet.bpw", "sheet.BPW", "sheet.bmpw", "sheet.wld"})
      std::remove(dir.File(name).c_str());
    if (!c.worldFile.empty()) std::ofstream(dir.File(c.worldFile)) << world;
    const clitest::Outcome run = RunWatched(c.arguments);
    EXPECT_EQ(run.status, 0) << c.name << "\n" << run.out;
    EXPECT_EQ(LoadedGdal(run), c.gdal) << c.name;
    if (!c.worldFile.empty() || Contains(c.arguments, "--world")) {
      EXPECT_TRUE(Contains(run.out, "map coordinates from")) << c.name;
    }
  }
}

}  // namespace

#endif  // ZENTREL_TEST_GDAL
