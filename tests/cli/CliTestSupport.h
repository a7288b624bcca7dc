// Helpers of the tool's tests: running the tool or a script, and drawing
// small test sheets.
#ifndef ZENTREL_TESTS_CLI_SUPPORT_H
#define ZENTREL_TESTS_CLI_SUPPORT_H

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace clitest {

struct Outcome {
  int status = -1;
  std::string out;  // standard output and standard error together
};

/// Runs a shell command line, collecting its output and exit status;
/// standard error joins the output unless dropStderr discards it (for
/// commands whose standard output is binary).
inline Outcome RunCommand(const std::string& command, bool dropStderr = false) {
  Outcome result;
  FILE* pipe = ::popen((command + (dropStderr ? " 2>/dev/null" : " 2>&1")).c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk;
  size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    result.out.append(chunk.data(), n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

inline Outcome RunTool(const std::string& arguments, bool dropStderr = false) {
  return RunCommand(std::string(ZENTREL_TOOL) + " " + arguments, dropStderr);
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline std::string Sample() { return std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif"; }

/// A sheet of the given paper with a filled dark rectangle (20..99 x 20..79)
/// and, when 'speckle', one pixel in 29 a few levels off the paper. 8-bit
/// sheets get a grey colour table and use the paper's red level.
inline void DrawSheet(CImageDataModel& image, int bits, COLORREF paper, bool speckle,
                      UINT width = 200, UINT height = 120) {
  image.InitImage(static_cast<int>(width), static_cast<int>(height), bits);
  if (bits == 8) zt::SetGreyTable(image);
  unsigned seed = 7;
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const bool ink = x >= 20 && x < 100 && y >= 20 && y < 80;
      int shift = speckle && (seed >> 16) % 29 == 0 ? static_cast<int>((seed >> 8) % 7) - 3 : 0;
      auto level = [&](int v) { return static_cast<BYTE>(std::min(255, std::max(0, v + shift))); };
      if (bits == 8)
        zt::SetIndexAt(image, x, y, ink ? 30 : level(GetRValue(paper)));
      else
        image.SetPixel(
            x, y,
            ink ? RGB(30, 30, 30)
                : RGB(level(GetRValue(paper)), level(GetGValue(paper)), level(GetBValue(paper))));
    }
}

}  // namespace clitest

#endif  // ZENTREL_TESTS_CLI_SUPPORT_H
