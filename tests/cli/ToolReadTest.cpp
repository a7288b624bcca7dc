// The tool's reading of files: the widened readers by default (format from
// the content), the library's narrow ones with --strict, and what info says
// about each file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "support/TestSupport.h"

namespace {

std::string RunZentrel(const std::string& arguments, int& status) {
  const std::string command = std::string(ZENTREL_TOOL) + " " + arguments + " 2>&1";
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> chunk;
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), n);
  const int raw = ::pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

/// A 1 × 1 GIF89a with a 32-colour table, a graphic control extension
/// (transparent index 5) and a comment before its image.
std::vector<std::uint8_t> Gif32Colours() {
  std::vector<std::uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x84, 0, 0};
  for (int i = 0; i < 32; ++i) file.insert(file.end(), {std::uint8_t(8 * i), 0, 0});
  file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, 5, 0, 0x21, 0xFE, 2, 'h', 'i', 0});
  // One pixel of index 0: clear (32), 0, end (33) at 6 bits.
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 5, 3, 0x20, 0x10, 0x02, 0, 0x3B});
  return file;
}

/// An 8-bit BMP of 4 × 4 whose file holds only the first row.
std::vector<std::uint8_t> ShortBmp() {
  std::vector<std::uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 4, 0, 0, 40, 0, 0,
                                    0,   4,   0, 0, 0, 4, 0, 0, 0, 1, 0,  8, 0, 0, 0,  0, 0};
  file.resize(54 + 1024 + 4, 0x11);
  return file;
}

TEST(ToolRead, InfoReadsByContentAndStrictReadsAsTheLibraryDoes) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("gif32.bmp"), Gif32Colours()));
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("short.bmp"), ShortBmp()));
  ASSERT_TRUE(zt::WriteFileBytes(
      dir.File("rle4.bmp"),
      {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40,  0,   0,   0, 2, 0,    0, 0, 1,
       0,   0,   0, 1, 0, 4, 0, 2, 0, 0, 0,  0, 0, 0, 0,   0,   0,   0, 0, 0,    0, 0, 0,
       2,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 255, 255, 255, 0, 2, 0x01, 0, 1}));
  struct Case {
    const char* options;
    const char* file;
    int status;
    const char* says;
  } cases[] = {
      {"", "gif32.bmp", 0,
       "format 3 (GIF), 1 x 1, 8 bits, 256 colours, 32 in the file's colour table, "
       "transparent index 5"},
      {"--strict", "gif32.bmp", 1, "cannot read it as BMP (not a BMP or GIF file)"},
      {"", "short.bmp", 0,
       "4 x 4, 8 bits, 256 colours, 256 in the file's colour table; "
       "incomplete: the file ends early"},
      {"--strict", "short.bmp", 0, "incomplete: the file ends early"},
      {"", "rle4.bmp", 0,
       "format 1 (BMP), 2 x 1, 8 bits, 256 colours, 2 in the file's colour table"},
      {"--strict", "rle4.bmp", 1, "cannot read it as BMP (a bit depth the reader does not take)"},
  };
  for (const Case& c : cases) {
    int status = -1;
    const std::string out =
        RunZentrel(std::string(c.options) + " info " + dir.File(c.file), status);
    EXPECT_EQ(status, c.status) << c.options << " " << c.file << ": " << out;
    EXPECT_NE(out.find(c.says), std::string::npos) << c.options << " " << c.file << ": " << out;
  }
  // The widened reading reaches every command, --strict too.
  int status = -1;
  RunZentrel("convert " + dir.File("gif32.bmp") + " " + dir.File("out.bmp"), status);
  EXPECT_EQ(status, 0);
  RunZentrel("--strict convert " + dir.File("gif32.bmp") + " " + dir.File("out2.bmp"), status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(RunZentrel("--strict", status).find("usage"), std::string::npos);
  EXPECT_EQ(status, 2);
}

}  // namespace
