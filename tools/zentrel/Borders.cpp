// Border following in the manner of the classic raster-scan method: a new
// border starts at an ink cell whose left neighbour is paper and which no
// border has passed (an outer border), or at an ink cell whose right
// neighbour is paper and which no border has left open on that side (a
// hole). Each border is followed counter-clockwise around its cells.
#include "Borders.h"

namespace cli {
namespace {

// The eight directions, counter-clockwise on screen (y down) from east.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

// The cells of a byte mask as the follower reads and marks them; the packed
// mask has the same three operations.
struct ByteCells {
  const MaskView& mask;
  int Width() const { return mask.width; }
  int Height() const { return mask.height; }
  BYTE Get(int x, int y) const { return *mask.At(x, y); }
  void Mark(int x, int y, BYTE flags) const { *mask.At(x, y) |= flags; }
  void SetPaper(int x, int y) const { *mask.At(x, y) = kPaper; }
  int NextChange(int x, int y, int end) const {
    while (x < end && *mask.At(x, y) == *mask.At(x - 1, y)) ++x;
    return x;
  }
};

struct PackedCells {
  PackedMask& mask;
  int Width() const { return mask.Width(); }
  int Height() const { return mask.Height(); }
  BYTE Get(int x, int y) const { return mask.Get(x, y); }
  void Mark(int x, int y, BYTE flags) const { mask.Mark(x, y, flags); }
  void SetPaper(int x, int y) const { mask.SetPaper(x, y); }
  int NextChange(int x, int y, int end) const { return mask.NextChange(x, y, end); }
};

template <class Cells>
void Follow(const Cells& mask, int x0, int y0, bool hole, Border& border) {
  border.cells.clear();
  border.hole = hole;

  // The last ink neighbour clockwise from the paper cell that started it.
  const int from = hole ? 0 : 4;
  int s = from;
  do s = (s + 7) & 7;
  while (mask.Get(x0 + kDx[s], y0 + kDy[s]) == kPaper && s != from);
  border.cells.push_back(POINT{x0, y0});
  if (mask.Get(x0 + kDx[s], y0 + kDy[s]) == kPaper) {  // a single cell
    mask.Mark(x0, y0, kOnBorder | kRightOpen);
    return;
  }
  const int x1 = x0 + kDx[s], y1 = y0 + kDy[s];  // the second cell
  int x = x0, y = y0;
  for (;;) {
    // Counter-clockwise from the cell we came from, to the next ink cell.
    // The cell we came from is ink, so the search ends within eight steps.
    int d = s, nx, ny;
    do {
      ++d;
      nx = x + kDx[d & 7];
      ny = y + kDy[d & 7];
    } while (mask.Get(nx, ny) == kPaper);
    // Passing east (d reached 8 and went on) means the right neighbour is
    // paper: a hole border may not start here later.
    mask.Mark(x, y, d > 8 ? (kOnBorder | kRightOpen) : kOnBorder);
    d &= 7;
    if (nx == x0 && ny == y0 && x == x1 && y == y1) return;
    x = nx;
    y = ny;
    border.cells.push_back(POINT{x, y});
    s = (d + 4) & 7;
  }
}

template <class Cells>
void FollowAll(const Cells& mask, const std::function<void(Border&)>& take) {
  const int w = mask.Width(), h = mask.Height();
  if (w < 3 || h < 3) return;
  // Every ink cell needs eight neighbours inside the mask.
  for (int x = 0; x < w; ++x) {
    mask.SetPaper(x, 0);
    mask.SetPaper(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    mask.SetPaper(0, y);
    mask.SetPaper(w - 1, y);
  }
  Border border;
  for (int y = 1; y + 1 < h; ++y) {
    // Most cells are inside paper or inside ink, equal to the cell on their
    // left: only the cells where that changes are looked at.
    for (int x = mask.NextChange(1, y, w - 1); x + 1 < w; x = mask.NextChange(x + 1, y, w - 1)) {
      const BYTE left = mask.Get(x - 1, y), here = mask.Get(x, y);
      if (here == kInk && left == kPaper) {
        Follow(mask, x, y, false, border);
        take(border);
      } else if (here == kPaper && left != kPaper && !(left & kRightOpen)) {
        Follow(mask, x - 1, y, true, border);
        take(border);
      }
    }
  }
}

}  // namespace

void FollowBorders(const MaskView& mask, const std::function<void(Border&)>& take) {
  FollowAll(ByteCells{mask}, take);
}

void FollowBorders(PackedMask& mask, const std::function<void(Border&)>& take) {
  FollowAll(PackedCells{mask}, take);
}

}  // namespace cli
