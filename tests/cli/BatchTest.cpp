// Batches: folders and files in, one output per sheet and format, failures
// reported and skipped, the summary, and wrong batch command lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Cli.h"
#include "CliTestSupport.h"
#include "Georeference.h"

namespace {

using clitest::Contains;
using clitest::RunTool;

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

TEST(Batch, WritesEachSheetOnceAndReportsFailuresWithoutStopping) {
  zt::TempDir dir;
  const std::vector<std::uint8_t> sample = zt::ReadFileBytes(clitest::Sample());
  ASSERT_EQ(::mkdir(dir.File("in").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(dir.File("in/deeper").c_str(), 0777), 0);
  for (const char* name : {"in/a.gif", "in/b.gif", "in/deeper/c.gif", "d.gif"})
    ASSERT_TRUE(zt::WriteFileBytes(dir.File(name), sample));
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("in/notes.txt"), {'h', 'i'}));  // not an image
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("in/broken.gif"), {'G', 'I', 'F', '8', '9', 'a'}));
  const std::string formats = cli::HaveGdal() ? "geojson,json,svg" : "json,svg";
  // A PNG sheet joins the folder when the tool reads PNG files.
  const bool png = cli::HaveImageIo();
  if (png) {
    ASSERT_EQ(RunTool("convert " + clitest::Sample() + " " + dir.File("in/e.png")).status, 0);
  }

  const clitest::Outcome run =
      RunTool("vectorize --out-dir " + dir.File("out") + " --formats " + formats + " -j 2 " +
              dir.File("in") + " " + dir.File("d.gif") + " " + dir.File("missing.gif"));
  EXPECT_EQ(run.status, 1) << run.out;
  // a, b, d from the sample: 14 rectangles and 10 circles each.
  EXPECT_TRUE(Contains(run.out, png ? "6 sheets: 4 done, 2 failed; 56 rectangles, 40 circles"
                                    : "5 sheets: 3 done, 2 failed; 42 rectangles, 30 circles"))
      << run.out;
  EXPECT_EQ(Exists(dir.File("out/e.json")), png);
  EXPECT_TRUE(Contains(run.out, "failed: " + dir.File("in/broken.gif") + ": cannot read it as GIF"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "failed: " + dir.File("missing.gif") + ": No such file"))
      << run.out;
  for (const char* name : {"a", "b", "d"}) {
    EXPECT_TRUE(Exists(dir.File("out/") + name + ".json")) << name;
    EXPECT_TRUE(Exists(dir.File("out/") + name + ".svg")) << name;
    EXPECT_EQ(Exists(dir.File("out/") + name + ".geojson"), cli::HaveGdal()) << name;
  }
  EXPECT_FALSE(Exists(dir.File("out/c.json")));  // folders are not descended into
  EXPECT_FALSE(Exists(dir.File("out/notes.json")));

  // Only good sheets, one at a time, the same file named twice: success.
  const clitest::Outcome good =
      RunTool("vectorize --out-dir " + dir.File("out2") + " --formats json -j 1 " +
              dir.File("d.gif") + " " + dir.File("in/a.gif") + " " + dir.File("d.gif"));
  EXPECT_EQ(good.status, 0) << good.out;
  EXPECT_TRUE(Contains(good.out, "2 sheets: 2 done, 0 failed")) << good.out;
}

TEST(Batch, WrongBatchCommandLinesAreUsageErrors) {
  const std::string sample = clitest::Sample();
  for (const std::string& line :
       {"--out-dir x --formats pdf " + sample, "--out-dir x -j 0 " + sample,
        "--formats json " + sample, "-j 2 " + sample, "--out-dir x --svg y.svg " + sample,
        "--out-dir x --world y.wld " + sample, sample + " " + sample, std::string("--out-dir x")}) {
    const clitest::Outcome run = RunTool("vectorize " + line);
    EXPECT_EQ(run.status, 2) << line << "\n" << run.out;
  }
}

}  // namespace
