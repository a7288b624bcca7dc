// The mean of the k nearest values (noise filter type 2) through a sorting
// network across pixels (or, with AVX2 past 32 samples besides the written
// ones, by counting), for windows other than 3 × 3: those of up to 64
// samples besides the written ones, and with AVX2 all of them.
#ifndef ZENTREL_CLEANUP_NEARESTWINDOW_H
#define ZENTREL_CLEANUP_NEARESTWINDOW_H

#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

/// The widest lanes the networks may use: kAvx2 sixteen keys a step with
/// AVX2, and R of more than 32 samples counted rather than sorted, 32
/// pixels a step, which also takes windows of more than 64 samples; kAvx512
/// as kAvx2, but where the processor has AVX-512BW the networks in
/// registers take 32 keys a step and the counting 64 pixels; kNone the
/// portable loops.
/// kChosen is kAvx512 in the library, falling back to the portable loops
/// where the processor lacks AVX2, and kNone in the portable build
/// (ZENTREL_CLEANUP_PORTABLE).
enum class NearestLanes { kNone, kAvx2, kAvx512, kChosen };

/// Filters the window's image in place with the mean of the k nearest
/// values (1 ≤ k < W × H), exactly as the literal in-place filter does.
/// Needs no heap memory; takes about 40 KB of stack. False (the image
/// unchanged) when lanes named other than kNone and kChosen need AVX2 that
/// the processor or the build lacks, and for a window of more than 64
/// samples besides the written ones unless the lanes come to AVX2.
/// Rows are filtered up to rowLanes at a time side by side (1 .. 16;
/// other values: 16), the rows after each other where the window holds
/// no written sample, at k = 1, and on the 5 × 5 networks pruned for k.
bool RunNearestWindow(const NoiseWindow& window, int k, NearestLanes widest = NearestLanes::kChosen,
                      int rowLanes = 0);

}  // namespace zentrel::detail::cleanup

#endif  // ZENTREL_CLEANUP_NEARESTWINDOW_H
