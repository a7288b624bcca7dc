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

void Follow(const MaskView& mask, int x0, int y0, bool hole, Border& border) {
  std::ptrdiff_t step[8];
  for (int d = 0; d < 8; ++d) step[d] = kDx[d] + kDy[d] * mask.down;
  border.cells.clear();
  border.hole = hole;
  BYTE* const start = mask.At(x0, y0);

  // The last ink neighbour clockwise from the paper cell that started it.
  const int from = hole ? 0 : 4;
  int s = from;
  do s = (s + 7) & 7;
  while (start[step[s]] == kPaper && s != from);
  border.cells.push_back(POINT{x0, y0});
  if (start[step[s]] == kPaper) {  // a single cell
    *start |= kOnBorder | kRightOpen;
    return;
  }
  BYTE* const second = start + step[s];
  BYTE* cell = start;
  int x = x0, y = y0;
  for (;;) {
    // Counter-clockwise from the cell we came from, to the next ink cell.
    // The cell we came from is ink, so the search ends within eight steps.
    const int back = s;
    int d = back;
    BYTE* next;
    do next = cell + step[++d & 7];
    while (*next == kPaper);
    // Passing east (d reached 8 and went on) means the right neighbour is
    // paper: a hole border may not start here later.
    *cell |= d > 8 ? (kOnBorder | kRightOpen) : kOnBorder;
    d &= 7;
    if (next == start && cell == second) return;
    cell = next;
    x += kDx[d];
    y += kDy[d];
    border.cells.push_back(POINT{x, y});
    s = (d + 4) & 7;
  }
}

}  // namespace

void FollowBorders(const MaskView& mask, const std::function<void(Border&)>& take) {
  if (mask.width < 3 || mask.height < 3) return;
  // Every ink cell needs eight neighbours inside the mask.
  for (int x = 0; x < mask.width; ++x) *mask.At(x, 0) = *mask.At(x, mask.height - 1) = kPaper;
  for (int y = 0; y < mask.height; ++y) *mask.At(0, y) = *mask.At(mask.width - 1, y) = kPaper;
  Border border;
  for (int y = 1; y + 1 < mask.height; ++y) {
    BYTE* row = mask.At(0, y);
    for (int x = 1; x + 1 < mask.width; ++x) {
      const BYTE left = row[x - 1], here = row[x];
      if (left == here) continue;  // most cells: inside paper or inside ink
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

}  // namespace cli
