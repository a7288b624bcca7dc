// The library's internal access to a record: the raster of its pixels and
// its colour tests, built from the record's fields.
#ifndef ZENTREL_IMAGE_IMAGEACCESS_H
#define ZENTREL_IMAGE_IMAGEACCESS_H

#include "ImageDataModel.h"
#include "image/ColourTests.h"
#include "image/Raster.h"

namespace zentrel::detail {

class ImageAccess {
 public:
  using Raster = zentrel::detail::Raster;

  /// The raster of a whole-image operation, checked once against the block
  /// (see CheckedRaster); empty when no image is held or the header no
  /// longer fits the block.
  static Raster Checked(const CImageDataModel& image) {
    return CheckedRaster(image.m_hDIB, image.m_pBmh, image.m_pPalette, image.m_pBits,
                         image.m_nWidth, image.m_nHeight, image.m_nLineBytes);
  }

  /// The raster of a single-pixel operation, cheap enough for every call:
  /// the record's own size and row length (made with its block) index the
  /// rows, and only the header's depth, which a host may have written, is
  /// compared with the depth the block was made for. Empty when no image is
  /// held or they differ (header-must-fit-block).
  static Raster Pixels(const CImageDataModel& image) {
    if (ZENTREL_RARELY(!image.m_hDIB)) return Raster{};
    // This runs once per pixel: each depth is compared with the block's
    // layout on its own path, the refusal marked as the rare way, so that
    // the pixel's own path stays as short as it was without the test.
    const bool withTable = BlockDepth(image.m_pPalette, image.m_pBits) == 8;
    if (image.m_pBmh->biBitCount == 24) {
      if (ZENTREL_RARELY(withTable)) return Raster{};
      return Raster::Rows(image.m_pBits, image.m_nWidth, image.m_nHeight, image.m_nLineBytes, 24);
    }
    if (ZENTREL_RARELY(image.m_pBmh->biBitCount != 8 || !withTable)) return Raster{};
    return Raster::Rows(image.m_pBits, image.m_nWidth, image.m_nHeight, image.m_nLineBytes, 8,
                        image.m_pPalette);
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

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_IMAGEACCESS_H
