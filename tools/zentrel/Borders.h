// Border following on an ink mask: every outer border of an ink patch and
// every border of a hole in one, each as a closed chain of ink cells.
#ifndef ZENTREL_TOOLS_BORDERS_H
#define ZENTREL_TOOLS_BORDERS_H

#include <functional>
#include <vector>

#include "InkMask.h"

namespace cli {

/// One traced border: its cells in order (the last one touches the first),
/// and whether it encloses a hole (paper inside ink) rather than a patch.
struct Border {
  std::vector<POINT> cells;
  bool hole = false;
};

/// Scans the mask row by row from the top and follows each border the
/// first time it meets it (ink patches eight-connected, holes
/// four-connected), handing each to 'take'; the Border is reused between
/// calls, so take copies out what it keeps. Marks the cells it passes with
/// kOnBorder and kRightOpen. Makes the mask's outermost ring paper first.
void FollowBorders(const MaskView& mask, const std::function<void(Border&)>& take);
/// The same on a packed mask.
void FollowBorders(PackedMask& mask, const std::function<void(Border&)>& take);

}  // namespace cli

#endif  // ZENTREL_TOOLS_BORDERS_H
