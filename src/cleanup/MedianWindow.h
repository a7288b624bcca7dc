// The in-place median filter for windows other than 3 × 3, through column
// histograms and a short serial step per pixel.
#ifndef ZENTREL_CLEANUP_MEDIANWINDOW_H
#define ZENTREL_CLEANUP_MEDIANWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// The widest lanes the counting may use: kAvx512 counts 64 pixels at once
/// where the processor has AVX-512BW (else as kAvx2), kAvx2 32 with AVX2,
/// kNone declines; kChosen is kAvx512 in the library and kNone in the
/// portable build (ZENTREL_CLEANUP_PORTABLE).
enum class MedianLanes { kNone, kAvx2, kAvx512, kChosen };

/// Filters the window's image with the median (type 3), exactly as the
/// literal in-place filter does. Built for x86-64 processors with AVX2 and
/// needs scratch memory of about 290 bytes a column (and up to 280 KB more,
/// so that the rows of counts lie well apart modulo 4096); false (the image
/// unchanged) where the processor lacks AVX2, with kNone, in builds
/// without those loops and when the memory cannot be had, so that
/// the caller can filter another way.
bool RunWindowMedian(const NoiseWindow& window, MedianLanes widest = MedianLanes::kChosen);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_MEDIANWINDOW_H
