// The ink mask of a sheet: one byte per pixel, ink where the sheet is not
// its paper colour, held in an 8-bit record so that it can also be saved as
// the picture of the traced outlines.
#ifndef ZENTREL_TOOLS_INKMASK_H
#define ZENTREL_TOOLS_INKMASK_H

#include <cstddef>

#include "ImageDataModel.h"

namespace cli {

/// Values of a mask cell. Ink cells start as kInk; the border follower adds
/// kOnBorder to every cell it passes and kRightOpen where it found paper to
/// the cell's right.
enum MaskCell : BYTE { kPaper = 0, kInk = 1, kOnBorder = 2, kRightOpen = 4 };

/// A view of the mask's rows in image order (y from the top): the record
/// stores rows bottom-up, so a step down the image is a step back in memory.
struct MaskView {
  BYTE* top = nullptr;      // the cell (0, 0)
  std::ptrdiff_t down = 0;  // address step from (x, y) to (x, y + 1)
  int width = 0, height = 0;

  BYTE* At(int x, int y) const { return top + x + static_cast<std::ptrdiff_t>(y) * down; }
};

/// Makes 'mask' an 8-bit image of the sheet's size with one cell per pixel:
/// kInk where the sheet's pixel fails the sheet's background test
/// (IsBackground, with its background colour and precision), kPaper
/// elsewhere and always on the outermost ring, so that every ink cell has
/// eight neighbours inside the mask. Its colour table shows paper in the
/// sheet's background colour, ink grey and traced border cells red.
/// Returns false (mask empty) when the sheet is empty or not 8 or 24 bits,
/// or when memory runs out.
bool BuildInkMask(const CImageDataModel& sheet, CImageDataModel& mask);

/// A 3 x 3 majority vote over the ink cells (a cell is ink when at least
/// five of the nine cells around it are): single specks and two-pixel dots
/// vanish, and pinholes in filled shapes close. Needs three rows of scratch.
void MajorityFilter(const MaskView& mask);

/// The view of a mask made by BuildInkMask.
MaskView ViewOf(const CImageDataModel& mask);

/// True when colour would pass the sheet's background test: each channel
/// within precision of the background and their sum below precision x 3.7.
bool IsPaperColour(COLORREF colour, COLORREF background, int precision);

}  // namespace cli

#endif  // ZENTREL_TOOLS_INKMASK_H
