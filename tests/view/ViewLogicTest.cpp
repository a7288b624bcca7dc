// The viewer's view logic without a window: the window-to-image mapping
// against what the device really paints, placement, turning, options,
// frame files and the sheet's findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Cli.h"
#include "FrameFile.h"
#include "Overlay.h"
#include "Sheet.h"
#include "ViewOptions.h"
#include "Viewport.h"
#include "support/TestSupport.h"

namespace {

constexpr COLORREF kBackdrop = RGB(1, 2, 3);

/// A 24-bit image whose every pixel has its own colour.
void MakeNumbered(CImageDataModel& image, int width, int height) {
  zt::MakeImage(image, width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.SetPixel(x, y, RGB(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
}

std::string Sample() { return std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif"; }

struct ViewCase {
  int imageWidth, imageHeight, windowWidth, windowHeight;
  double zoom;
  int panX, panY;
};

TEST(Viewport, PixelUnderPointerIsWhatTheDeviceShows) {
  const ViewCase cases[] = {
      {40, 30, 40, 30, 1.0, 0, 0},       // one to one, filling the window
      {40, 30, 64, 48, 1.0, 0, 0},       // smaller than the window: centred
      {40, 30, 50, 20, 3.0, -17, -9},    // enlarged and panned
      {40, 30, 25, 25, 1.25, -5, -100},  // panned past the edge
      {300, 200, 31, 17, 0.3, 0, 0},     // reduced, odd sizes
      {7, 5, 64, 64, 32.0, -40, -60},    // the largest zoom
  };
  for (const ViewCase& c : cases) {
    CImageDataModel image;
    MakeNumbered(image, c.imageWidth, c.imageHeight);
    view::Viewport viewport;
    viewport.SetImageSize(c.imageWidth, c.imageHeight);
    viewport.SetWindowSize(c.windowWidth, c.windowHeight);
    viewport.SetZoom(c.zoom, 0, 0);
    viewport.PanBy(c.panX, c.panY);
    CDC device(c.windowWidth, c.windowHeight);
    device.FillSolid(kBackdrop);
    CRect rect = viewport.PaintRect();
    image.PaintImageToDevice(&device, &rect);
    ASSERT_EQ(device.GetCall(device.GetCallCount() - 1)->name, std::string("StretchDIBits"));
    for (int y = 0; y < c.windowHeight; ++y)
      for (int x = 0; x < c.windowWidth; ++x) {
        int ix = -1, iy = -1;
        const COLORREF expected = viewport.ImagePixelAt(x, y, ix, iy)
                                      ? image.GetPixel(static_cast<UINT>(ix), static_cast<UINT>(iy))
                                      : kBackdrop;
        ASSERT_EQ(device.GetPixel(x, y), expected)
            << "window pixel " << x << "," << y << " zoom " << c.zoom;
      }
  }
}

TEST(Viewport, PlacementZoomAnchorAndLimits) {
  view::Viewport v;
  v.SetImageSize(1000, 500);
  v.SetWindowSize(400, 300);
  // Fit: the whole sheet inside, touching the window on one side.
  v.SetZoom(v.FitZoom(), 0, 0);
  CRect r = v.PaintRect();
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_LE(r.bottom - r.top, 300);
  EXPECT_EQ(r.top, (300 - (r.bottom - r.top)) / 2);  // centred across the spare height
  // Zooming about a point keeps the image pixel under it.
  v.SetZoom(1.0, 0, 0);
  int x0, y0, x1, y1;
  ASSERT_TRUE(v.ImagePixelAt(123, 77, x0, y0));
  v.ZoomBy(3, 123, 77);
  ASSERT_TRUE(v.ImagePixelAt(123, 77, x1, y1));
  EXPECT_LE(std::abs(x1 - x0), 1);
  EXPECT_LE(std::abs(y1 - y0), 1);
  // A sheet larger than the window always covers it, however far it is dragged.
  for (int d : {-100000, 100000}) {
    v.PanBy(d, d);
    r = v.PaintRect();
    EXPECT_LE(r.left, 0);
    EXPECT_LE(r.top, 0);
    EXPECT_GE(r.right, 400);
    EXPECT_GE(r.bottom, 300);
  }
  v.SetZoom(1e9, 0, 0);
  EXPECT_EQ(v.Zoom(), view::Viewport::kMaxZoom);
  v.SetZoom(1e-9, 0, 0);
  EXPECT_EQ(v.Zoom(), view::Viewport::kMinZoom);
  v.SetZoom(std::nan(""), 0, 0);
  EXPECT_EQ(v.Zoom(), view::Viewport::kMinZoom);
}

TEST(Overlay, TurnedPositionsFollowTheLibrarysQuarterTurns) {
  for (int turns : {-5, -1, 1, 2, 3, 4, 6}) {
    CImageDataModel image;
    MakeNumbered(image, 5, 3);
    CImageDataModel turned;
    MakeNumbered(turned, 5, 3);
    for (int i = 0; i < std::abs(turns); ++i)
      ASSERT_TRUE(turns > 0 ? turned.Right90() : turned.Left90());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        double tx = x + 0.5, ty = y + 0.5;
        view::TurnPosition(tx, ty, 5, 3, turns);
        EXPECT_EQ(turned.GetPixel(static_cast<UINT>(tx), static_cast<UINT>(ty)),
                  image.GetPixel(x, y))
            << "turns " << turns << " pixel " << x << "," << y;
      }
  }
}

TEST(ViewOptions, CommandLines) {
  const view::ViewOptions o = view::ParseViewOptions(
      {"a.gif", "--zoom", "0.5", "--size", "640x480", "--overlay", "--screenshot", "x.PNG"});
  EXPECT_EQ(o.file, "a.gif");
  EXPECT_EQ(o.zoom, 0.5);
  EXPECT_EQ(o.windowWidth, 640);
  EXPECT_EQ(o.windowHeight, 480);
  EXPECT_TRUE(o.overlay);
  EXPECT_EQ(o.screenshot, "x.PNG");
  EXPECT_TRUE(view::ParseViewOptions({"a.gif", "--zoom", "fit"}).fit);
  EXPECT_TRUE(view::ParseViewOptions({"--help"}).help);
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"a.gif", "b.gif"},
      {"a.gif", "--zoom"},
      {"a.gif", "--zoom", "0"},
      {"a.gif", "--zoom", "33"},
      {"a.gif", "--zoom", "nan"},
      {"a.gif", "--zoom", "2x"},
      {"a.gif", "--size", "640"},
      {"a.gif", "--size", "0x10"},
      {"a.gif", "--size", "-5x10"},
      {"a.gif", "--screenshot", "out.jpg"},
      {"a.gif", "--frobnicate"},
  };
  for (const auto& args : wrong)
    EXPECT_THROW(view::ParseViewOptions(args), cli::UsageError) << ::testing::PrintToString(args);
}

TEST(FrameFile, SavesBmpThroughTheDeviceAndPngThroughTheEncoder) {
  zt::TempDir dir;
  // Rows with padding between them, as a renderer may hand them over.
  const int width = 3, height = 2, pitch = 16;
  std::vector<std::uint32_t> pixels(pitch / 4 * height, 0xDEADBEEF);
  const std::uint32_t colours[] = {0xFF102030, 0xFF405060, 0xFF708090,
                                   0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203};
  for (int i = 0; i < 6; ++i) pixels[(i / 3) * 4 + i % 3] = colours[i];

  const std::string bmp = dir.File("frame.BMP");
  view::SaveFrame(bmp, pixels.data(), width, height, pitch);
  CImageDataModel read;
  ASSERT_EQ(read.ReadBMPImage(bmp.c_str()), 1);
  ASSERT_EQ(read.GetWidth(), 3u);
  ASSERT_EQ(read.GetHeight(), 2u);
  for (int i = 0; i < 6; ++i) {
    const std::uint32_t c = colours[i];
    EXPECT_EQ(read.GetPixel(i % 3, i / 3), RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  }

  const std::string png = dir.File("frame.png");
  view::SaveFrame(png, pixels.data(), width, height, pitch);
  const std::vector<std::uint8_t> bytes = zt::ReadFileBytes(png);
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
  EXPECT_EQ(bytes[19], 3);  // width, big-endian
  EXPECT_EQ(bytes[23], 2);  // height

  EXPECT_THROW(view::SaveFrame(dir.File("frame.tif"), pixels.data(), 3, 2, 16), cli::Failure);
  EXPECT_THROW(view::SaveFrame(dir.File("frame.bmp"), pixels.data(), 3, 2, 8), cli::Failure);
  EXPECT_THROW(view::SaveFrame(dir.File("no/such/frame.bmp"), pixels.data(), 3, 2, 16),
               cli::Failure);
}

TEST(Sheet, FindingsTurnWithTheSheet) {
  EXPECT_THROW(view::Sheet(Sample() + ".missing"), cli::Failure);
  view::Sheet sheet(Sample());
  EXPECT_EQ(sheet.Found(), nullptr);
  sheet.StartFinding();
  const view::Findings* found = sheet.WaitForFindings();
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(found->error, "");
  ASSERT_FALSE(found->result.contours.empty());

  ASSERT_TRUE(sheet.Turn(true));
  ASSERT_TRUE(sheet.Turn(true));
  ASSERT_TRUE(sheet.Turn(false));  // one quarter clockwise in all
  EXPECT_EQ(sheet.Turns(), 1);
  sheet.ShowOutlines(true);
  CImageDataModel& shown = sheet.Shown();
  EXPECT_EQ(shown.GetWidth(), 640u);
  EXPECT_EQ(shown.GetHeight(), 960u);
  // Every traced point, placed by the overlay's mapping on the turned view,
  // falls on a cell that the edge pass marked in the turned outlines.
  view::Viewport viewport;
  viewport.SetImageSize(sheet.Width(), sheet.Height());
  viewport.SetWindowSize(sheet.Width(), sheet.Height());
  const std::vector<view::Stroke> strokes = view::Overlay(found->result).Strokes(1, viewport);
  const view::Stroke& first = strokes.front();  // the first contour's outline
  ASSERT_GE(first.points.size(), found->result.contours.front().points.size());
  for (const view::WindowPoint& p : first.points) {
    int x, y;
    ASSERT_TRUE(viewport.ImagePixelAt(static_cast<int>(p.x), static_cast<int>(p.y), x, y));
    EXPECT_EQ(shown.GetPixel(static_cast<UINT>(x), static_cast<UINT>(y)), RGB(255, 0, 0));
  }
}

TEST(Overlay, KeepsEveryContourReachingIntoTheWindow) {
  view::Sheet sheet(Sample());
  sheet.StartFinding();
  const view::Findings* found = sheet.WaitForFindings();
  ASSERT_TRUE(found && found->error.empty());
  const view::Overlay overlay(found->result);
  for (int turns = 0; turns < 4; ++turns) {
    const bool across = turns % 2 == 1;
    view::Viewport viewport;
    viewport.SetImageSize(across ? 640 : 960, across ? 960 : 640);
    viewport.SetWindowSize(300, 200);
    viewport.SetZoom(2.0, 0, 0);
    viewport.PanBy(-500, -300);
    std::vector<std::pair<float, float>> drawn;  // first points of the outlines drawn
    bool anyMarks = false;
    for (const view::Stroke& s : overlay.Strokes(turns, viewport)) {
      anyMarks |= s.marks;
      if (s.red == 0x00 && s.green == 0xB4) drawn.emplace_back(s.points[0].x, s.points[0].y);
    }
    EXPECT_TRUE(anyMarks);
    int reaching = 0;
    for (const cli::Contour& c : found->result.contours) {
      bool inside = false;
      view::WindowPoint first{};
      for (std::size_t i = 0; i < c.points.size(); ++i) {
        double x = c.points[i].x + 0.5, y = c.points[i].y + 0.5;
        view::TurnPosition(x, y, 960, 640, turns);
        view::WindowPoint w;
        viewport.WindowPosition(x, y, w.x, w.y);
        if (i == 0) first = w;
        inside |= w.x >= 0 && w.y >= 0 && w.x < 300 && w.y < 200;
      }
      if (!inside) continue;
      ++reaching;
      EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::make_pair(first.x, first.y)),
                drawn.end())
          << "turns " << turns;
    }
    EXPECT_GT(reaching, 0);
    EXPECT_LT(drawn.size(), found->result.contours.size()) << "nothing was left out";
  }
  view::Viewport far;
  far.SetImageSize(960, 640);
  far.SetWindowSize(960, 640);
  far.SetZoom(0.5, 0, 0);
  for (const view::Stroke& s : overlay.Strokes(0, far)) EXPECT_FALSE(s.marks);
}

}  // namespace
