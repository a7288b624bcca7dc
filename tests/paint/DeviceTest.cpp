// The off-screen device on its own: its buffer, palette and mode state, the
// DIB calls against a plain per-pixel reference, refused descriptions, the
// call log and the BMP file it saves.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ZentrelDevice.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

// A bottom-up DIB in one buffer: header, colour table, rows.
struct TestDib {
  std::vector<std::uint32_t> storage;  // 4-byte aligned
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(storage.data()); }
  BYTE* bits() { return reinterpret_cast<BYTE*>(storage.data()) + 40 + 4 * tableEntries; }
  int width, height, depth, tableEntries;
  std::uint64_t rowBytes() const { return (std::uint64_t(width) * depth + 31) / 32 * 4; }
};

// Pixel values from a seeded generator; the table is 256 distinct colours.
TestDib MakeDib(int width, int height, int depth, unsigned seed) {
  TestDib dib{{}, width, height, depth, depth == 8 ? 256 : 0};
  std::size_t bytes = 40 + 4 * dib.tableEntries + dib.rowBytes() * height;
  dib.storage.assign((bytes + 3) / 4, 0);
  BITMAPINFOHEADER& h = dib.info()->bmiHeader;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(depth);
  BYTE* table = reinterpret_cast<BYTE*>(dib.storage.data()) + 40;
  for (int i = 0; i < dib.tableEntries; ++i) {
    table[4 * i] = static_cast<BYTE>(i);
    table[4 * i + 1] = static_cast<BYTE>(255 - i);
    table[4 * i + 2] = static_cast<BYTE>(i * 7);
  }
  std::mt19937 random(seed);
  for (std::uint64_t i = 0; i < dib.rowBytes() * height; ++i)
    dib.bits()[i] = static_cast<BYTE>(random());
  return dib;
}

// The colour of pixel (x, b) of a test DIB, b counted from the bottom.
COLORREF SourceColour(TestDib& dib, std::int64_t x, std::int64_t b) {
  const BYTE* row = dib.bits() + b * dib.rowBytes();
  if (dib.depth == 24) return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  const BYTE* entry = reinterpret_cast<BYTE*>(dib.storage.data()) + 40 + 4 * row[x];
  return RGB(entry[2], entry[1], entry[0]);
}

// A plain reference of the stretch, pixel by pixel: every destination
// position of the rectangle, its mirror and its source by division.
std::vector<COLORREF> ReferenceStretch(int deviceW, int deviceH, TestDib& dib, int dx, int dy,
                                       int dw, int dh, int sx, int sy, int sw, int sh, int& rows) {
  std::vector<COLORREF> out(std::size_t(deviceW) * deviceH, RGB(255, 255, 255));
  auto low = [](std::int64_t corner, std::int64_t length) {
    return length > 0 ? corner : corner + length + 1;
  };
  std::int64_t dw64 = dw < 0 ? -std::int64_t(dw) : dw, dh64 = dh < 0 ? -std::int64_t(dh) : dh;
  std::int64_t sw64 = sw < 0 ? -std::int64_t(sw) : sw, sh64 = sh < 0 ? -std::int64_t(sh) : sh;
  std::int64_t left = low(dx, dw), top = low(dy, dh);
  std::int64_t sourceLeft = low(sx, sw), sourceBottom = low(sy, sh);
  bool mirrorX = (dw < 0) != (sw < 0), mirrorY = (dh < 0) != (sh < 0);
  rows = 0;
  // Only positions on the device can be painted; scan those.
  for (std::int64_t y = 0; y < deviceH; ++y) {
    bool painted = false;
    for (std::int64_t x = 0; x < deviceW; ++x) {
      std::int64_t j = x - left, i = y - top;
      if (j < 0 || j >= dw64 || i < 0 || i >= dh64) continue;
      if (mirrorX) j = dw64 - 1 - j;
      if (mirrorY) i = dh64 - 1 - i;
      std::int64_t column = sourceLeft + j * sw64 / dw64;
      std::int64_t b = sourceBottom + sh64 - 1 - i * sh64 / dh64;  // from the top of the source
      if (column < 0 || column >= dib.width || b < 0 || b >= dib.height) continue;
      out[y * deviceW + x] = SourceColour(dib, column, b);
      painted = true;
    }
    rows += painted;
  }
  return out;
}

std::vector<COLORREF> Pixels(const CDC& dc) {
  std::vector<COLORREF> out;
  for (int y = 0; y < dc.GetHeight(); ++y)
    for (int x = 0; x < dc.GetWidth(); ++x) out.push_back(dc.GetPixel(x, y));
  return out;
}

TEST(Device, NewDeviceIsWhiteOrHasNoPixelsForUnusableSizes) {
  CDC dc(3, 2);
  EXPECT_EQ(dc.GetWidth(), 3);
  EXPECT_EQ(dc.GetHeight(), 2);
  EXPECT_EQ(dc.GetBits()[5], 0xFFFFFFFFu);
  EXPECT_EQ(dc.GetPixel(2, 1), RGB(255, 255, 255));
  EXPECT_EQ(dc.GetPixel(3, 0), CLR_INVALID);
  EXPECT_EQ(dc.GetPixel(-1, 0), CLR_INVALID);
  dc.FillSolid(RGB(1, 2, 3));
  EXPECT_EQ(dc.GetBits()[0], 0xFF010203u);
  EXPECT_EQ(dc.GetSafeHdc(), &dc);

  for (auto size : {std::pair<int, int>{0, 5}, {5, -1}, {INT_MAX, INT_MAX}, {65536, 8192}}) {
    CDC none(size.first, size.second);
    EXPECT_EQ(none.GetWidth(), 0);
    EXPECT_EQ(none.GetBits(), nullptr);
    EXPECT_EQ(none.GetPixel(0, 0), CLR_INVALID);
    TestDib dib = MakeDib(2, 2, 24, 1);
    EXPECT_EQ(none.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, dib.bits(), dib.info(), 0, SRCCOPY), 0);
  }
}

TEST(Device, OutOfMemoryLeavesNoPixelsAndRefusesToSave) {
  {
    zt::FailNthAllocation fail(2);  // the default palette, then the pixels
    CDC dc(4, 4);
    EXPECT_TRUE(fail.Triggered());
    EXPECT_EQ(dc.GetBits(), nullptr);
    EXPECT_EQ(dc.GetHeight(), 0);
    EXPECT_NE(dc.GetCurrentPalette(), nullptr);
  }
  CDC dc(2, 2);
  zt::TempDir dir;
  zt::FailNthAllocation fail(1);  // the row buffer
  EXPECT_EQ(dc.SaveBitmap(dir.File("a.bmp").c_str()), FALSE);
  EXPECT_TRUE(fail.Triggered());
}

TEST(Device, PaletteAndStretchModeFollowTheirContracts) {
  CDC dc(1, 1);
  HPALETTE original = dc.GetCurrentPalette();
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(dc.SelectPalette(nullptr, TRUE), nullptr);  // refused, unchanged
  EXPECT_EQ(dc.GetCurrentPalette(), original);
  LOGPALETTE one{0x300, 1, {{1, 2, 3, 0}}};
  HPALETTE mine = CreatePalette(&one);
  EXPECT_EQ(::SelectPalette(&dc, mine, FALSE), original);
  EXPECT_EQ(dc.SelectPalette(original, TRUE), mine);
  DeleteObject(mine);

  EXPECT_EQ(dc.GetStretchBltMode(), BLACKONWHITE);
  EXPECT_EQ(::SetStretchBltMode(&dc, COLORONCOLOR), BLACKONWHITE);
  EXPECT_EQ(dc.SetStretchBltMode(0), 0);
  EXPECT_EQ(dc.SetStretchBltMode(5), 0);
  EXPECT_EQ(dc.GetStretchBltMode(), COLORONCOLOR);
  EXPECT_EQ(::SetStretchBltMode(nullptr, COLORONCOLOR), 0);
  EXPECT_EQ(::SelectPalette(nullptr, original, TRUE), nullptr);
}

TEST(Device, UnscaledCopyPaintsOnlyTheScanLinesHandedOver) {
  TestDib dib = MakeDib(5, 6, 8, 2);
  CDC dc(7, 8);
  // Rows 2..4 (from the bottom) are handed over, starting at row 2.
  const BYTE* band = dib.bits() + 2 * dib.rowBytes();
  // Source rectangle: columns 1..3, rows 1..5 from the bottom, placed at (2, 1).
  int rows = ::SetDIBitsToDevice(&dc, 2, 1, 3, 5, 1, 1, 2, 3, band, dib.info(), DIB_RGB_COLORS);
  EXPECT_EQ(rows, 3);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 7; ++x) {
      // Device row 1 shows source row 5; device row 1 + k shows row 5 − k.
      std::int64_t b = 5 - (y - 1), column = x - 2 + 1;
      bool inside = x >= 2 && x < 5 && y >= 1 && y < 6 && b >= 2 && b <= 4;
      COLORREF expected = inside ? SourceColour(dib, column, b) : RGB(255, 255, 255);
      EXPECT_EQ(dc.GetPixel(x, y), expected) << x << "," << y;
    }
  // Widths far past the device and the image are clipped, not trusted.
  CDC whole(5, 6);
  EXPECT_EQ(whole.SetDIBitsToDevice(0, 0, 0xFFFFFFFFu, 6, 0, 0, 0, 6, dib.bits(), dib.info(), 0),
            6);
  EXPECT_EQ(whole.GetPixel(4, 5), SourceColour(dib, 4, 0));
  EXPECT_EQ(whole.SetDIBitsToDevice(0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0, 0, UINT_MAX, dib.bits(),
                                    dib.info(), 0),
            0);  // the rectangle's top lies far above the image
  EXPECT_EQ(whole.SetDIBitsToDevice(INT_MIN, INT_MIN, 0xFFFFFFFFu, 0xFFFFFFFFu, INT_MIN, INT_MIN,
                                    UINT_MAX, UINT_MAX, dib.bits(), dib.info(), 0),
            0);
}

TEST(Device, StretchMatchesAPlainReference) {
  std::mt19937 random(7);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int round = 0; round < 400; ++round) {
    int depth = round % 2 ? 8 : 24;
    TestDib dib = MakeDib(pick(1, 9), pick(1, 9), depth, round);
    int deviceW = pick(1, 12), deviceH = pick(1, 12);
    int nonzero[] = {-13, -7, -5, -3, -2, -1, 1, 2, 3, 4, 5, 7, 9, 13, 20};
    auto size = [&]() { return nonzero[pick(0, 14)]; };
    int dx = pick(-10, 20), dy = pick(-10, 20), dw = size(), dh = size();
    int sx = pick(-4, 10), sy = pick(-4, 10), sw = size(), sh = size();
    CDC dc(deviceW, deviceH);
    int rows = dc.StretchDIBits(dx, dy, dw, dh, sx, sy, sw, sh, dib.bits(), dib.info(),
                                DIB_RGB_COLORS, SRCCOPY);
    int expectedRows = 0;
    std::vector<COLORREF> expected =
        ReferenceStretch(deviceW, deviceH, dib, dx, dy, dw, dh, sx, sy, sw, sh, expectedRows);
    ASSERT_EQ(Pixels(dc), expected) << "round " << round;
    ASSERT_EQ(rows, expectedRows) << "round " << round;
  }
}

TEST(Device, UnsupportedDescriptionsPaintNothing) {
  CDC dc(4, 4);
  auto stretch = [&](TestDib& dib, UINT usage, DWORD rop) {
    return dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, dib.bits(), dib.info(), usage, rop);
  };
  TestDib good = MakeDib(2, 2, 8, 4);
  EXPECT_EQ(stretch(good, DIB_PAL_COLORS, SRCCOPY), 0);
  EXPECT_EQ(stretch(good, DIB_RGB_COLORS, 0x00EE0086), 0);  // SRCPAINT
  EXPECT_EQ(dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, nullptr, good.info(), 0, SRCCOPY), 0);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, good.bits(), nullptr, 0, SRCCOPY), 0);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 0, 4, 0, 0, 2, 2, good.bits(), good.info(), 0, SRCCOPY), 0);
  const struct {
    LONG width, height;
    WORD depth;
    DWORD size, compression;
  } bad[] = {{2, -2, 8, 40, 0}, {0, 2, 8, 40, 0}, {2, 2, 16, 40, 0},
             {2, 2, 8, 12, 0},  {2, 2, 8, 40, 1}, {INT_MAX, INT_MAX, 24, 40, 0}};
  for (const auto& b : bad) {
    TestDib dib = MakeDib(2, 2, 8, 5);
    BITMAPINFOHEADER& h = dib.info()->bmiHeader;
    h.biWidth = b.width;
    h.biHeight = b.height;
    h.biBitCount = b.depth;
    h.biSize = b.size;
    h.biCompression = b.compression;
    EXPECT_EQ(stretch(dib, DIB_RGB_COLORS, SRCCOPY), 0) << b.width << " " << b.depth;
  }
  for (COLORREF c : Pixels(dc)) EXPECT_EQ(c, RGB(255, 255, 255));

  // An index past the colours in use is black.
  good.info()->bmiHeader.biClrUsed = 3;
  good.bits()[0] = 2;
  good.bits()[1] = 3;
  dc.StretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, good.bits(), good.info(), 0, SRCCOPY);
  EXPECT_EQ(dc.GetPixel(0, 0), RGB(14, 253, 2));
  EXPECT_EQ(dc.GetPixel(1, 0), RGB(0, 0, 0));
}

TEST(Device, CallLogKeepsTheMostRecentCallsAndFormatsThem) {
  CDC dc(1, 1);
  for (int i = 0; i < 70; ++i) dc.SetStretchBltMode(1 + i % 4);
  ASSERT_EQ(dc.GetCallCount(), CDC::kCallLogCapacity);
  EXPECT_EQ(dc.GetCall(0)->args[0], 1 + 6 % 4);  // calls 0..5 fell out
  EXPECT_EQ(dc.GetCall(63)->args[0], 1 + 69 % 4);
  EXPECT_EQ(dc.GetCall(64), nullptr);
  char text[96];
  int length = CDC::FormatCall(*dc.GetCall(63), text, sizeof text);
  EXPECT_STREQ(text, "SetStretchBltMode(2) = 1");
  EXPECT_EQ(length, 24);
  EXPECT_EQ(CDC::FormatCall(*dc.GetCall(63), text, 8), 24);
  EXPECT_STREQ(text, "SetStre");
  dc.ClearCallLog();
  EXPECT_EQ(dc.GetCallCount(), 0u);
  dc.SelectPalette(nullptr, TRUE);
  CDC::FormatCall(*dc.GetCall(0), text, sizeof text);
  EXPECT_STREQ(text, "SelectPalette(0x0, 1) = 0x0");
  dc.StretchDIBits(0, 0, 1, 1, 0, 0, 1, 1, nullptr, nullptr, 0, SRCCOPY);
  CDC::FormatCall(*dc.GetCall(1), text, sizeof text);
  EXPECT_STREQ(text, "StretchDIBits(0, 0, 1, 1, 0, 0, 1, 1, 0x0, 0x0, 0, 0x00CC0020) = 0");
}

TEST(Device, SavesA24BitBottomUpBitmap) {
  CDC dc(3, 2);
  dc.FillSolid(RGB(10, 20, 30));
  dc.GetBits()[0] = 0xFF112233;  // top-left
  zt::TempDir dir;
  ASSERT_EQ(dc.SaveBitmap(dir.File("out.bmp").c_str()), TRUE);
  std::vector<std::uint8_t> file = zt::ReadFileBytes(dir.File("out.bmp"));
  ASSERT_EQ(file.size(), 54u + 2 * 12);
  // Signature, file size, pixel offset, width, height (bottom-up), depth, image bytes.
  const std::pair<int, int> fields[] = {{0, 'B'}, {1, 'M'}, {2, 78},  {10, 54},
                                        {18, 3},  {22, 2},  {28, 24}, {34, 24}};
  for (auto field : fields) EXPECT_EQ(file[field.first], field.second) << field.first;
  const std::vector<std::uint8_t> bottom = {30, 20, 10, 30, 20, 10, 30, 20, 10, 0, 0, 0};
  const std::vector<std::uint8_t> top = {0x33, 0x22, 0x11, 30, 20, 10, 30, 20, 10, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 54, file.begin() + 66), bottom);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 66, file.end()), top);

  EXPECT_EQ(dc.SaveBitmap(dir.path().c_str()), FALSE);  // a folder
  EXPECT_EQ(dc.SaveBitmap("/dev/full"), FALSE);         // no space left
  EXPECT_EQ(CDC().SaveBitmap(dir.File("none.bmp").c_str()), FALSE);
}

}  // namespace
