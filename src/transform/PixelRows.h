// The pixel rows of a held image as the transforms see them: the library's
// raster, checked against its block (CheckedRaster) before any byte moves.
#ifndef ZENTREL_TRANSFORM_PIXELROWS_H
#define ZENTREL_TRANSFORM_PIXELROWS_H

#include "image/Raster.h"

using PixelRows = zentrel::detail::Raster;

#endif  // ZENTREL_TRANSFORM_PIXELROWS_H
