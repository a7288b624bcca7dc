// The in-place median filter for windows other than 3 × 3, through column
// histograms and a short serial step per pixel.
#ifndef ZENTREL_CLEANUP_MEDIANWINDOW_H
#define ZENTREL_CLEANUP_MEDIANWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// The widest lanes the counting may use: kWidest takes what the processor
/// has (64 pixels at once with AVX-512BW, else 32 with AVX2); kAvx2 keeps
/// to 32; kNone declines. A lower path is taken where the processor lacks
/// the one named.
enum class MedianLanes { kNone, kAvx2, kWidest };

/// Filters the window's image with the median (type 3), exactly as the
/// literal in-place filter does. Built for x86-64 processors with AVX2 and
/// needs scratch memory of about 290 bytes a column (and up to 280 KB more,
/// so that the rows of counts lie well apart modulo 4096); false (the image
/// unchanged) where the processor lacks AVX2, with kNone, in builds
/// without those loops (and, in the portable build, unless the caller names
/// a path other than kWidest) and when the memory cannot be had, so that
/// the caller can filter another way.
bool RunWindowMedian(const NoiseWindow& window, MedianLanes widest = MedianLanes::kWidest);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_MEDIANWINDOW_H
