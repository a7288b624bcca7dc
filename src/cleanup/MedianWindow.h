// The in-place median filter for windows other than 3 × 3, through column
// histograms and a short serial step per pixel.
#ifndef ZENTREL_CLEANUP_MEDIANWINDOW_H
#define ZENTREL_CLEANUP_MEDIANWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// Filters the window's image with the median (type 3), exactly as the
/// literal in-place filter does. Needs scratch memory of about 290 bytes a
/// column; false (the image unchanged) when it cannot be had.
bool RunWindowMedian(const NoiseWindow& window);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_MEDIANWINDOW_H
