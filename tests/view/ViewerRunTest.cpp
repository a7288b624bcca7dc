// zentrel-view end to end: the frame it saves and the picture an outside
// tool takes of a virtual X screen both hold, pixel for pixel, what
// `zentrel render` paints for the same sheet and zoom.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

Outcome RunCommand(const std::string& command) {
  Outcome result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk;
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    result.out.append(chunk.data(), n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string Sample() { return std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif"; }

struct Picture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Picture ReadPicture(const std::string& path) {
  Picture p;
  CImageDataModel image;
  if (!image.ReadBMPImage(path.c_str())) return p;
  p.width = static_cast<int>(image.GetWidth());
  p.height = static_cast<int>(image.GetHeight());
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.pixels.push_back(image.GetPixel(x, y));
  return p;
}

/// True when the top-left width × height block of part appears somewhere
/// in whole, pixel for pixel.
bool Contains(const Picture& whole, const Picture& part, int width, int height) {
  for (int oy = 0; oy + height <= whole.height; ++oy)
    for (int ox = 0; ox + width <= whole.width; ++ox) {
      bool same = true;
      for (int y = 0; y < height && same; ++y)
        for (int x = 0; x < width && same; ++x) same = whole.At(ox + x, oy + y) == part.At(x, y);
      if (same) return true;
    }
  return false;
}

std::size_t CountColour(const Picture& p, COLORREF colour) {
  return static_cast<std::size_t>(std::count(p.pixels.begin(), p.pixels.end(), colour));
}

struct ZoomCase {
  const char* zoom;
  const char* window;  // --size, or empty for the viewer's own choice
};
const ZoomCase kZooms[] = {{"1", ""}, {"0.5", ""}, {"0.3", ""}, {"2", "640x400"}};

/// What `zentrel render` paints at the zoom, and the part of it that a
/// window of the given size shows from the sheet's corner.
Picture Rendered(const zt::TempDir& dir, const ZoomCase& c, int& shownWidth, int& shownHeight) {
  const double zoom = std::stod(c.zoom);
  const long width = std::lround(960 * zoom), height = std::lround(640 * zoom);
  const std::string out = dir.File("render.bmp");
  const Outcome r = RunCommand(std::string(ZENTREL_TOOL) + " render " + Sample() + " " + out +
                               " --size " + std::to_string(width) + "x" + std::to_string(height));
  EXPECT_EQ(r.status, 0) << r.out;
  shownWidth = static_cast<int>(width);
  shownHeight = static_cast<int>(height);
  int w = 0, h = 0;
  if (std::sscanf(c.window, "%dx%d", &w, &h) == 2) {
    shownWidth = std::min(shownWidth, w);
    shownHeight = std::min(shownHeight, h);
  }
  return ReadPicture(out);
}

std::string ViewerArguments(const ZoomCase& c) {
  std::string args = " " + Sample() + " --zoom " + c.zoom;
  if (*c.window) args += std::string(" --size ") + c.window;
  return args;
}

#ifdef ZENTREL_VIEWER

TEST(Viewer, SavedFrameHoldsWhatRenderPaints) {
  for (const ZoomCase& c : kZooms) {
    zt::TempDir dir;
    int w = 0, h = 0;
    const Picture render = Rendered(dir, c, w, h);
    ASSERT_GT(render.width, 0);
    // The driver that draws into memory: no screen needed.
    const Outcome run = RunCommand("SDL_VIDEODRIVER=dummy " + std::string(ZENTREL_VIEWER) +
                                   ViewerArguments(c) + " --screenshot " + dir.File("frame.bmp"));
    ASSERT_EQ(run.status, 0) << run.out;
    const Picture frame = ReadPicture(dir.File("frame.bmp"));
    ASSERT_GT(frame.width, 0);
    EXPECT_TRUE(Contains(frame, render, w, h)) << "zoom " << c.zoom;
  }
}

TEST(Viewer, XScreenShowsWhatRenderPaints) {
  for (const ZoomCase& c : kZooms) {
    zt::TempDir dir;
    int w = 0, h = 0;
    const Picture render = Rendered(dir, c, w, h);
    ASSERT_GT(render.width, 0);
    const Outcome shot =
        RunCommand(std::string(ZENTREL_SHOOT_SCREEN) + " BMP3:" + dir.File("screen.bmp") + " " +
                   ZENTREL_VIEWER + ViewerArguments(c));
    if (shot.status == 77) GTEST_SKIP() << shot.out;
    ASSERT_EQ(shot.status, 0) << shot.out;
    const Picture screen = ReadPicture(dir.File("screen.bmp"));
    ASSERT_EQ(screen.width, 1280);
    EXPECT_TRUE(Contains(screen, render, w, h)) << "zoom " << c.zoom;
  }
  // Asked for at the start, the overlay is on the screen once it is ready.
  zt::TempDir dir;
  const Outcome shot =
      RunCommand(std::string(ZENTREL_SHOOT_SCREEN) + " BMP3:" + dir.File("screen.bmp") + " " +
                 ZENTREL_VIEWER + " " + Sample() + " --overlay");
  ASSERT_EQ(shot.status, 0) << shot.out;
  EXPECT_GT(CountColour(ReadPicture(dir.File("screen.bmp")), RGB(0x00, 0xB4, 0xD8)), 1000u);
}

/// Runs the tool; false (and a failure) when it does not succeed.
bool Tool(const std::string& arguments) {
  const Outcome r = RunCommand(std::string(ZENTREL_TOOL) + " " + arguments);
  EXPECT_EQ(r.status, 0) << arguments << "\n" << r.out;
  return r.status == 0;
}

TEST(Viewer, KeysTurnAndSwitchWhatIsShown) {
  struct KeyCase {
    const char* name;
    const char* start;  // viewer options
    const char* keys;   // typed before s
    const char* made;   // the tool commands making in.bmp, the expected sheet
  };
  // Both orientations of the half-size sheet fit the 960 × 960 window.
  const KeyCase cases[] = {
      {"turn", "", "r r l plus minus o o b b", "convert SHEET DIR/in.bmp right90"},
      {"outlines", "--outlines", "l",
       "vectorize SHEET --outlines DIR/o.bmp && TOOL convert DIR/o.bmp DIR/in.bmp left90"},
      {"overlay", "--overlay", "r", "convert SHEET DIR/in.bmp right90"},
  };
  for (const KeyCase& c : cases) {
    zt::TempDir dir;
    std::string made = c.made;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"SHEET", Sample()},
                                   {"DIR", dir.path()},
                                   {"TOOL", ZENTREL_TOOL}})
      for (std::size_t at; (at = made.find(from)) != std::string::npos;)
        made.replace(at, from.size(), to);
    ASSERT_TRUE(Tool(made));
    ASSERT_TRUE(
        Tool("render " + dir.File("in.bmp") + " " + dir.File("render.bmp") + " --size 320x480"));
    const Picture render = ReadPicture(dir.File("render.bmp"));
    const Outcome shot = RunCommand(std::string(ZENTREL_SHOOT_SCREEN) + " --keys '" + c.keys +
                                    "' BMP3:" + dir.File("screen.bmp") + " " + ZENTREL_VIEWER +
                                    " " + Sample() + " --zoom 0.5 --size 960x960 " + c.start);
    if (shot.status == 77) GTEST_SKIP() << shot.out;
    ASSERT_EQ(shot.status, 0) << c.name << "\n" << shot.out;
    const Picture screen = ReadPicture(dir.File("screen.bmp"));
    // s saved what the window showed, named after the sheet.
    EXPECT_GT(zt::ReadFileBytes(dir.File("sheet-view.png")).size(), 1000u) << c.name;
    const std::size_t cyan = CountColour(screen, RGB(0x00, 0xB4, 0xD8));
    if (std::string(c.name) == "overlay") {
      EXPECT_GT(cyan, 1000u) << "no overlay drawn";
      EXPECT_FALSE(Contains(screen, render, render.width, render.height));
    } else {
      EXPECT_EQ(cyan, 0u) << c.name;
      EXPECT_TRUE(Contains(screen, render, render.width, render.height)) << c.name;
    }
  }
}

TEST(Viewer, RefusesWrongCommandLinesAndUnreadableFiles) {
  const std::string viewer = "SDL_VIDEODRIVER=dummy " + std::string(ZENTREL_VIEWER);
  EXPECT_EQ(RunCommand(viewer + " --help").status, 0);
  EXPECT_EQ(RunCommand(viewer).status, 2);
  EXPECT_EQ(RunCommand(viewer + " " + Sample() + " --zoom 0").status, 2);
  const Outcome missing = RunCommand(viewer + " " + Sample() + ".missing --screenshot x.png");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("No such file"), std::string::npos) << missing.out;
  zt::TempDir dir;
  const Outcome unwritable =
      RunCommand(viewer + " " + Sample() + " --screenshot " + dir.File("no/such/out.png"));
  EXPECT_EQ(unwritable.status, 1) << unwritable.out;
}

#else

TEST(Viewer, NotBuilt) { GTEST_SKIP() << "zentrel-view is not built here (SDL2 was not found)"; }

#endif

}  // namespace
