// The in-place median filter for windows other than 3 × 3, through column
// histograms and a short serial step per pixel.
#ifndef ZENTREL_CLEANUP_MEDIANWINDOW_H
#define ZENTREL_CLEANUP_MEDIANWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// Filters the window's image with the median (type 3), exactly as the
/// literal in-place filter does. Built for x86-64 processors with AVX2 and
/// needs scratch memory of about 290 bytes a column (and up to 280 KB more,
/// so that the rows of counts lie well apart modulo 4096); false (the image
/// unchanged) where the processor lacks AVX2, in builds without those loops
/// and when the memory cannot be had, so that the caller can filter
/// another way.
bool RunWindowMedian(const NoiseWindow& window);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_MEDIANWINDOW_H
