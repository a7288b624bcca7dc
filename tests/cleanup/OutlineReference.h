// Plain implementations of outline marking and shrinking through the
// record's public pixel operations (one IsBackground per test, SetPixel per
// write), kept outside the library as the yardstick for the fast passes.
#ifndef ZENTREL_TESTS_CLEANUP_OUTLINEREFERENCE_H
#define ZENTREL_TESTS_CLEANUP_OUTLINEREFERENCE_H

#include "ImageDataModel.h"

namespace zt {

inline int ReferenceEdge(CImageDataModel& image) {
  if (image.IsEmpty()) return 0;
  const UINT width = image.GetWidth();
  const UINT height = image.GetHeight();
  for (UINT y = 1; y + 1 < height; ++y) {
    for (UINT x = 1; x + 1 < width; ++x) {
      if (image.IsBackground(x, y)) continue;
      if (image.IsBackground(x - 1, y - 1) || image.IsBackground(x + 1, y - 1) ||
          image.IsBackground(x - 1, y + 1) || image.IsBackground(x + 1, y + 1))
        image.SetPixel(x, y, 0xFF);
    }
  }
  return 1;
}

inline int ReferenceShrink(CImageDataModel& image) {
  if (image.IsEmpty()) return 0;
  const UINT width = image.GetWidth();
  const UINT height = image.GetHeight();
  for (UINT y = 1; y + 1 < height; ++y) {
    for (UINT x = 1; x + 1 < width; ++x) {
      const int centre = image.IsBackground(x, y);
      int touching = 0;
      touching |= image.IsBackground(x - 1, y - 1);
      touching |= image.IsBackground(x, y - 1);
      touching |= image.IsBackground(x + 1, y - 1);
      touching |= image.IsBackground(x + 1, y);
      touching |= image.IsBackground(x + 1, y + 1);
      touching |= image.IsBackground(x, y + 1);
      touching |= image.IsBackground(x - 1, y + 1);
      touching |= image.IsBackground(x - 1, y);
      if (!centre && touching) image.SetPixel(x, y, image.GetBKColor());
    }
  }
  return 1;
}

}  // namespace zt

#endif  // ZENTREL_TESTS_CLEANUP_OUTLINEREFERENCE_H
