// The mean of the k nearest values (noise filter type 2) through a sorting
// network across pixels, for windows of few samples other than 3 × 3.
#ifndef ZENTREL_CLEANUP_NEARESTWINDOW_H
#define ZENTREL_CLEANUP_NEARESTWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// Whether RunNearestWindow is the faster way for this window: W × H − hw
/// (the samples besides the written ones) at most 64.
bool UsesSortedRemainder(const NoiseWindow& window);

/// Filters the window's image in place with the mean of the k nearest
/// values (1 ≤ k < W × H), exactly as the literal in-place filter does, for
/// a window UsesSortedRemainder accepts (others are left alone). Needs no
/// heap memory.
void RunNearestWindow(const NoiseWindow& window, int k);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_NEARESTWINDOW_H
