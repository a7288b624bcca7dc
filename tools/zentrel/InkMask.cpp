// Building the ink mask from the sheet's background test, and cleaning it.
#include "InkMask.h"

#include <algorithm>
#include <cstdlib>
#include <new>
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

namespace {

// What the mask needs of a sheet: its depth, paper colour and precision, and
// for an 8-bit sheet the ink value of each colour-table entry.
struct InkTest {
  int depth = 0, width = 0, height = 0;
  COLORREF paper = 0;
  int precision = 0;
  BYTE inkOfIndex[256] = {};
};

bool PrepareInkTest(const CImageDataModel& sheet, InkTest& test) {
  test.depth = sheet.GetColorPixel();
  if (sheet.IsEmpty() || (test.depth != 8 && test.depth != 24)) return false;
  test.width = static_cast<int>(sheet.GetWidth());
  test.height = static_cast<int>(sheet.GetHeight());
  test.paper = sheet.GetBKColor();
  test.precision = sheet.GetPrecision();
  // For an 8-bit sheet the test depends on the colour-table entry only.
  if (test.depth == 8) {
    const RGBQUAD* table = sheet.GetPalette();
    for (int i = 0; i < 256; ++i)
      test.inkOfIndex[i] = IsPaperColour(RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue),
                                         test.paper, test.precision)
                               ? kPaper
                               : kInk;
  }
  return true;
}

// The mask values of one stored row of the sheet (rows are stored bottom-up);
// the outermost ring stays paper.
void InkRow(const CImageDataModel& sheet, const InkTest& test, int row, BYTE* out) {
  const int w = test.width;
  out[0] = out[w - 1] = kPaper;
  if (row == 0 || row == test.height - 1) {
    std::fill(out, out + w, kPaper);
    return;
  }
  const BYTE* in = sheet.GetBuffer() + sheet.GetLineBytes() * static_cast<std::size_t>(row);
  if (test.depth == 8) {
    for (int x = 1; x + 1 < w; ++x) out[x] = test.inkOfIndex[in[x]];
  } else {
    for (int x = 1; x + 1 < w; ++x) {
      const BYTE* p = in + 3 * static_cast<std::size_t>(x);  // blue, green, red
      out[x] = IsPaperColour(RGB(p[2], p[1], p[0]), test.paper, test.precision) ? kPaper : kInk;
    }
  }
}

}  // namespace

bool BuildInkMask(const CImageDataModel& sheet, CImageDataModel& mask) {
  InkTest test;
  if (!PrepareInkTest(sheet, test)) return false;
  if (!mask.IsEmpty()) mask.FreeImage();
  if (!mask.InitImage(test.width, test.height, 8)) return false;
  SetMaskColours(mask, test.paper);
  const std::size_t maskLine = mask.GetLineBytes();
  for (int row = 0; row < test.height; ++row)  // both records store rows bottom-up
    InkRow(sheet, test, row, mask.GetBuffer() + maskLine * static_cast<std::size_t>(row));
  return true;
}

bool BuildInkMask(const CImageDataModel& sheet, PackedMask& mask) {
  InkTest test;
  if (!PrepareInkTest(sheet, test)) return false;
  mask.Clear();
  if (!mask.Reset(test.width, test.height)) return false;
  std::vector<BYTE> values(static_cast<std::size_t>(test.width));
  for (int row = 0; row < test.height; ++row) {
    InkRow(sheet, test, row, values.data());
    mask.PackRow(test.height - 1 - row, values.data());
  }
  return true;
}

bool PaintMask(const PackedMask& mask, COLORREF paper, CImageDataModel& picture) {
  if (!picture.IsEmpty()) picture.FreeImage();
  if (mask.Width() < 1 || mask.Height() < 1 || !picture.InitImage(mask.Width(), mask.Height(), 8))
    return false;
  SetMaskColours(picture, paper);
  const MaskView view = ViewOf(picture);
  for (int y = 0; y < mask.Height(); ++y) mask.UnpackRow(y, view.At(0, y));
  return true;
}

bool PackedMask::Reset(int width, int height) {
  Clear();
  if (width < 0 || height < 0) return false;
  const std::size_t stride = (static_cast<std::size_t>(width) + kCellsPerWord - 1) / kCellsPerWord;
  try {
    words_.assign(stride * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  stride_ = stride;
  width_ = width;
  height_ = height;
  return true;
}

void PackedMask::Clear() {
  std::vector<std::uint64_t>().swap(words_);
  stride_ = 0;
  width_ = height_ = 0;
}

int PackedMask::SkipSame(int x, int y, BYTE value, int end) const {
  if (x % kCellsPerWord != 0) return x;
  const std::uint64_t same = CodeOf(value) * 0x5555555555555555u;  // the code in every cell
  const std::uint64_t* word = &words_[Index(x, y)];
  while (x + kCellsPerWord <= end && *word == same) {
    x += kCellsPerWord;
    ++word;
  }
  return x;
}

void PackedMask::UnpackRow(int y, BYTE* values) const {
  const std::uint64_t* word = &words_[static_cast<std::size_t>(y) * stride_];
  for (int x = 0; x < width_; x += kCellsPerWord, ++word) {
    std::uint64_t bits = *word;
    const int n = std::min(kCellsPerWord, width_ - x);
    for (int i = 0; i < n; ++i, bits >>= 2) values[x + i] = kValueOfCode[bits & 3];
  }
}

void PackedMask::PackRow(int y, const BYTE* values) {
  std::uint64_t* word = &words_[static_cast<std::size_t>(y) * stride_];
  for (int x = 0; x < width_; x += kCellsPerWord, ++word) {
    std::uint64_t bits = 0;
    const int n = std::min(kCellsPerWord, width_ - x);
    for (int i = n - 1; i >= 0; --i) bits = (bits << 2) | CodeOf(values[x + i]);
    *word = bits;
  }
}

namespace {

// One row of the vote: 'out' from the unfiltered rows above, here and below;
// the row's first and last cells stay as they were.
void VoteRow(const BYTE* above, const BYTE* here, const BYTE* below, BYTE* column, BYTE* out,
             int w) {
  for (int x = 0; x < w; ++x) column[x] = static_cast<BYTE>(above[x] + here[x] + below[x]);
  out[0] = here[0];
  out[w - 1] = here[w - 1];
  for (int x = 1; x + 1 < w; ++x)
    out[x] = column[x - 1] + column[x] + column[x + 1] >= 5 ? kInk : kPaper;
}

}  // namespace

void MajorityFilter(const MaskView& mask) {
  const int w = mask.width, h = mask.height;
  if (w < 3 || h < 3) return;
  // Three rows of the unfiltered mask, kept as the rows are overwritten:
  // 'above' and 'here' are copies, the row below is still untouched.
  std::vector<BYTE> above(mask.At(0, 0), mask.At(0, 0) + w);
  std::vector<BYTE> here(w), column(w);
  for (int y = 1; y + 1 < h; ++y) {
    BYTE* row = mask.At(0, y);
    here.assign(row, row + w);
    VoteRow(above.data(), here.data(), mask.At(0, y + 1), column.data(), row, w);
    above.swap(here);
  }
}

void MajorityFilter(PackedMask& mask) {
  const int w = mask.Width(), h = mask.Height();
  if (w < 3 || h < 3) return;
  const std::size_t n = static_cast<std::size_t>(w);
  std::vector<BYTE> above(n), here(n), below(n), column(n), out(n);
  mask.UnpackRow(0, above.data());
  mask.UnpackRow(1, here.data());
  for (int y = 1; y + 1 < h; ++y) {
    mask.UnpackRow(y + 1, below.data());
    VoteRow(above.data(), here.data(), below.data(), column.data(), out.data(), w);
    mask.PackRow(y, out.data());
    above.swap(here);
    here.swap(below);
  }
}

}  // namespace cli
