// The mean of the k nearest values (noise filter type 2) for every window
// but 3 × 3, which has a kernel of its own in RankFilters.cpp.
#ifndef ZENTREL_CLEANUP_NEARESTWINDOW_H
#define ZENTREL_CLEANUP_NEARESTWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// Whether RunNearestWindow is the faster way for this window.
bool UsesSortedRemainder(const NoiseWindow& window);

/// Filters the window's image in place with the mean of the k nearest
/// values (1 ≤ k < W × H), exactly as the literal in-place filter does.
/// Needs no heap memory.
void RunNearestWindow(const NoiseWindow& window, int k);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_NEARESTWINDOW_H
