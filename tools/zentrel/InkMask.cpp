// Building the ink mask from the sheet's background test, and cleaning it.
#include "InkMask.h"

#include <cstdlib>
#include <vector>

namespace cli {

bool IsPaperColour(COLORREF colour, COLORREF background, int precision) {
  // The library's background test, on a colour rather than a pixel.
  const int dr = std::abs(GetRValue(colour) - GetRValue(background));
  const int dg = std::abs(GetGValue(colour) - GetGValue(background));
  const int db = std::abs(GetBValue(colour) - GetBValue(background));
  return dr < precision && dg < precision && db < precision &&
         dr + dg + db < static_cast<int>(precision * 3.7);
}

MaskView ViewOf(const CImageDataModel& mask) {
  MaskView view;
  if (mask.IsEmpty()) return view;
  view.width = static_cast<int>(mask.GetWidth());
  view.height = static_cast<int>(mask.GetHeight());
  view.down = -static_cast<std::ptrdiff_t>(mask.GetLineBytes());
  view.top =
      mask.GetBuffer() + static_cast<std::ptrdiff_t>(mask.GetLineBytes()) * (view.height - 1);
  return view;
}

namespace {

void SetMaskColours(CImageDataModel& mask, COLORREF paper) {
  RGBQUAD* table = mask.GetPalette();
  for (int i = 0; i < 256; ++i) {
    RGBQUAD& entry = table[i];
    entry = RGBQUAD{0, 0, 0, 0};
    if (i == kPaper) {
      entry.rgbRed = GetRValue(paper);
      entry.rgbGreen = GetGValue(paper);
      entry.rgbBlue = GetBValue(paper);
    } else if (i == kInk) {
      entry.rgbRed = entry.rgbGreen = entry.rgbBlue = 150;
    } else {
      entry.rgbRed = 255;  // a cell on a traced border
    }
  }
}

}  // namespace

bool BuildInkMask(const CImageDataModel& sheet, CImageDataModel& mask) {
  const int depth = sheet.GetColorPixel();
  if (sheet.IsEmpty() || (depth != 8 && depth != 24)) return false;
  const int w = static_cast<int>(sheet.GetWidth()), h = static_cast<int>(sheet.GetHeight());
  if (!mask.IsEmpty()) mask.FreeImage();
  if (!mask.InitImage(w, h, 8)) return false;
  const COLORREF paper = sheet.GetBKColor();
  const int precision = sheet.GetPrecision();
  SetMaskColours(mask, paper);

  // For an 8-bit sheet the test depends on the colour-table entry only.
  BYTE inkOfIndex[256] = {};
  if (depth == 8) {
    const RGBQUAD* table = sheet.GetPalette();
    for (int i = 0; i < 256; ++i)
      inkOfIndex[i] =
          IsPaperColour(RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue), paper, precision)
              ? kPaper
              : kInk;
  }
  const std::size_t sheetLine = sheet.GetLineBytes(), maskLine = mask.GetLineBytes();
  for (int row = 0; row < h; ++row) {  // stored rows; both records store them bottom-up
    const BYTE* in = sheet.GetBuffer() + sheetLine * static_cast<std::size_t>(row);
    BYTE* out = mask.GetBuffer() + maskLine * static_cast<std::size_t>(row);
    if (row == 0 || row == h - 1) continue;  // the outermost ring stays paper
    if (depth == 8) {
      for (int x = 1; x + 1 < w; ++x) out[x] = inkOfIndex[in[x]];
    } else {
      for (int x = 1; x + 1 < w; ++x) {
        const BYTE* p = in + 3 * static_cast<std::size_t>(x);  // blue, green, red
        out[x] = IsPaperColour(RGB(p[2], p[1], p[0]), paper, precision) ? kPaper : kInk;
      }
    }
  }
  return true;
}

void MajorityFilter(const MaskView& mask) {
  const int w = mask.width, h = mask.height;
  if (w < 3 || h < 3) return;
  // Column sums of three rows of the unfiltered mask, kept as the rows are
  // overwritten: 'above' and 'here' are copies, the row below is still
  // untouched.
  std::vector<BYTE> above(mask.At(0, 0), mask.At(0, 0) + w);
  std::vector<BYTE> here(w), column(w);
  for (int y = 1; y + 1 < h; ++y) {
    BYTE* row = mask.At(0, y);
    const BYTE* below = mask.At(0, y + 1);
    here.assign(row, row + w);
    for (int x = 0; x < w; ++x) column[x] = static_cast<BYTE>(above[x] + here[x] + below[x]);
    for (int x = 1; x + 1 < w; ++x)
      row[x] = column[x - 1] + column[x] + column[x + 1] >= 5 ? kInk : kPaper;
    above.swap(here);
  }
}

}  // namespace cli
