// The library's internal access to a record: views of its pixels and its
// colour tests, built from the record's fields for the operations that scan
// whole images.
#ifndef ZENTREL_IMAGE_IMAGEACCESS_H
#define ZENTREL_IMAGE_IMAGEACCESS_H

#include "ImageDataModel.h"
#include "image/PixelView.h"

class ImageAccess {
 public:
  /// A view of the held image's pixels; the record must hold an image.
  static PixelView View(const CImageDataModel& image) {
    return PixelView(image.m_pBits, image.m_pPalette, image.m_nWidth, image.m_nHeight,
                     image.m_nLineBytes, image.GetColorPixel());
  }
  /// The record's background test.
  static BackgroundTest Background(const CImageDataModel& image) {
    return BackgroundTest(image.m_crBackground, image.m_nPrecision);
  }
  /// The record's colour match threshold (precision × 3.6, truncated).
  static int MatchThreshold(const CImageDataModel& image) {
    return ColourMatchThreshold(image.m_nPrecision);
  }
};

#endif  // ZENTREL_IMAGE_IMAGEACCESS_H
