// A plain, literal implementation of the noise filter, kept outside the
// library as the yardstick for the fast one: every window is gathered afresh
// in reading order and bubble-sorted, exactly as the filter is defined.
// Shared by the differential tests and the benchmark (as its baseline).
#ifndef ZENTREL_TESTS_CLEANUP_NOISEREFERENCE_H
#define ZENTREL_TESTS_CLEANUP_NOISEREFERENCE_H

#include <cstddef>
#include <cstdlib>

#include "ImageDataModel.h"

namespace zt {

/// Stable ascending bubble sort of keys, moving values along: swaps only
/// when the first key is strictly greater, shortens after every pass and
/// stops after a pass without a swap.
inline void ReferenceBubbleSort(int* keys, int* values, int n) {
  for (int end = n; end > 1; --end) {
    bool swapped = false;
    for (int i = 0; i + 1 < end; ++i) {
      if (keys[i] > keys[i + 1]) {
        int k = keys[i];
        keys[i] = keys[i + 1];
        keys[i + 1] = k;
        int v = values[i];
        values[i] = values[i + 1];
        values[i + 1] = v;
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}

/// The noise filter of CImageDataModel::RemoveNoise, literally.
inline int ReferenceRemoveNoise(CImageDataModel& image, int w, int h, int k, int type) {
  if (image.IsEmpty()) return 0;
  if (image.GetColorPixel() != 8) return 0;
  if (w < 1 || h < 1 || w > 10 || h > 10) return 0;
  const int n = w * h;
  if (k >= n) return 0;
  if (type == 2 && k <= 0) return 0;
  if (type < 0 || type > 4) return 1;

  const long width = image.GetWidth();
  const long height = image.GetHeight();
  const std::size_t lineBytes = image.GetLineBytes();
  BYTE* bits = image.GetBuffer();
  auto sample = [&](long x, long y) -> BYTE& {
    // Even windows reach one column (row) past the edge: take the edge.
    if (x > width - 1) x = width - 1;
    if (y > height - 1) y = height - 1;
    return bits[static_cast<std::size_t>(height - 1 - y) * lineBytes + static_cast<std::size_t>(x)];
  };

  const long hw = (w - 1) / 2;
  const long hh = (h - 1) / 2;
  int keys[100];
  int values[100];
  for (long y = hh; y < height - hh; ++y) {
    for (long x = hw; x < width - hw; ++x) {
      const int v = sample(x, y);
      int sum = 0;
      int count = 0;
      for (long r = 0; r < h; ++r) {
        for (long c = 0; c < w; ++c) {
          const int s = sample(x - hw + c, y - hh + r);
          sum += s;
          values[count++] = s;
        }
      }
      int result = v;
      switch (type) {
        case 0:
          result = sum / n;
          break;
        case 1: {
          const int m = sum / n;
          result = std::abs(m - v) > 20 ? m : v;
          break;
        }
        case 2: {
          for (int i = 0; i < n; ++i) keys[i] = std::abs(values[i] - v);
          ReferenceBubbleSort(keys, values, n);
          int nearest = 0;
          for (int i = 0; i < k; ++i) nearest += values[i];
          result = nearest / k;
          break;
        }
        case 3:
          for (int i = 0; i < n; ++i) keys[i] = values[i];
          ReferenceBubbleSort(keys, values, n);
          result = values[(n - 1) / 2];
          break;
        case 4: {
          const int e = 2 * v - sum / n;
          result = e < 0 ? 0 : (e > 255 ? 255 : e);
          break;
        }
      }
      sample(x, y) = static_cast<BYTE>(result);
    }
  }
  return 1;
}

}  // namespace zt

#endif  // ZENTREL_TESTS_CLEANUP_NOISEREFERENCE_H
