// Building the ink mask from the sheet's background test, and cleaning it.
#include "InkMask.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
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
  } catch (const std::length_error&) {
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

int PackedMask::NextChange(int x, int y, int end) const {
  const std::uint64_t* row = &words_[static_cast<std::size_t>(y) * stride_];
  while (x < end) {
    const std::size_t k = static_cast<std::size_t>(x / kCellsPerWord);
    const std::uint64_t word = row[k];
    // Each cell's code beside that of the cell on its left: the last cell
    // of the word before comes in at the bottom.
    const std::uint64_t before = (word << 2) | (k > 0 ? row[k - 1] >> 62 : 0);
    std::uint64_t differ = word ^ before;
    differ = (differ | (differ >> 1)) & 0x5555555555555555u;  // one bit a cell
    differ &= ~std::uint64_t{0} << Shift(x);                  // from x on
    if (differ)
      return std::min(end, static_cast<int>(k) * kCellsPerWord + __builtin_ctzll(differ) / 2);
    x = static_cast<int>(k + 1) * kCellsPerWord;
  }
  return end;
}

namespace {

constexpr std::uint64_t kCellBits = 0x5555555555555555u;   // the low bit of every cell
constexpr std::uint64_t kEvenCells = 0x3333333333333333u;  // cells 0, 2, 4, ... of a word

// Eight cells of 0 or 1, a byte each (the first in the lowest byte), as
// eight two-bit codes.
std::uint64_t SpreadBytes(std::uint64_t v) {
  v = (v | (v >> 6)) & 0x0005000500050005u;
  v = (v | (v >> 12)) & 0x0000005500000055u;
  return (v | (v >> 24)) & 0x5555u;
}

}  // namespace

void PackedMask::RowSums(int y, std::uint64_t* sums) const {
  const std::uint64_t* row = &words_[static_cast<std::size_t>(y) * stride_];
  for (std::size_t k = 0; k < stride_; ++k) {
    // Ink (any nonzero code) as the low bit of each cell.
    auto ink = [&](std::size_t i) { return (row[i] | (row[i] >> 1)) & kCellBits; };
    const std::uint64_t centre = ink(k);
    const std::uint64_t left = (centre << 2) | (k > 0 ? ink(k - 1) >> 62 : 0);
    const std::uint64_t right = (centre >> 2) | (k + 1 < stride_ ? ink(k + 1) << 62 : 0);
    sums[k] = left + centre + right;
  }
}

void PackedMask::VoteRow(int y, const std::uint64_t* above, const std::uint64_t* here,
                         const std::uint64_t* below) {
  std::uint64_t* row = &words_[static_cast<std::size_t>(y) * stride_];
  for (std::size_t k = 0; k < stride_; ++k) {
    const std::uint64_t even =
        (above[k] & kEvenCells) + (here[k] & kEvenCells) + (below[k] & kEvenCells);
    const std::uint64_t odd = ((above[k] >> 2) & kEvenCells) + ((here[k] >> 2) & kEvenCells) +
                              ((below[k] >> 2) & kEvenCells);
    // At least five: adding 3 reaches 8, the top bit of four.
    const std::uint64_t top = 0x8888888888888888u;
    const std::uint64_t voted =
        (((even + kEvenCells) & top) >> 3) | ((((odd + kEvenCells) & top) >> 3) << 2);
    // The first and last cell of the row (and the spare cells after it)
    // keep what they were.
    std::uint64_t keep = k == 0 ? 3 : 0;
    const std::size_t last = static_cast<std::size_t>(width_ - 1);
    if (k == last / kCellsPerWord) keep |= ~std::uint64_t{0} << Shift(width_ - 1);
    row[k] = (voted & ~keep) | (row[k] & keep);
  }
}

void PackedMask::UnpackRow(int y, BYTE* values) const {
  const std::uint64_t* word = &words_[static_cast<std::size_t>(y) * stride_];
  for (int x = 0; x < width_; x += kCellsPerWord, ++word) {
    std::uint64_t bits = *word;
    const int n = std::min(kCellsPerWord, width_ - x);
    for (int i = 0; i < n; ++i) values[x + i] = ValueOf((bits >> (2 * i)) & 3);
  }
}

void PackedMask::PackRow(int y, const BYTE* values) {
  std::uint64_t* word = &words_[static_cast<std::size_t>(y) * stride_];
  for (int x = 0; x < width_; x += kCellsPerWord, ++word) {
    std::uint64_t bits = 0;
    const int n = std::min(kCellsPerWord, width_ - x);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t eight;
      std::memcpy(&eight, values + x + i, 8);
      if (eight & ~0x0101010101010101u) break;  // marks: cell by cell
      bits |= SpreadBytes(eight) << (2 * i);
    }
    for (; i < n; ++i) bits |= std::uint64_t{CodeOf(values[x + i])} << (2 * i);
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
  // The vote on whole words, 32 cells at a time: the horizontal sums of
  // three cells (at most 3) fit a cell's two bits, and the vertical sums of
  // those (at most 9) the four bits of every other cell.
  const std::size_t n = mask.WordsPerRow();
  std::vector<std::uint64_t> above(n), here(n), below(n);
  mask.RowSums(0, above.data());
  mask.RowSums(1, here.data());
  for (int y = 1; y + 1 < h; ++y) {
    mask.RowSums(y + 1, below.data());
    mask.VoteRow(y, above.data(), here.data(), below.data());
    above.swap(here);
    here.swap(below);
  }
}

}  // namespace cli
