// Flip (upside down) and Mirror (left to right). Both permute pixels only, so
// each works in place: swapping whole rows, or reversing the pixels of each
// row, gives exactly the bytes a copy through a scratch image would, without
// needing the memory for one.
#include "ImageDataModel.h"
#include "image/ImageAccess.h"
#include "image/Raster.h"
#include "transform/RowKernels.h"

using namespace zentrel::detail;

int CImageDataModel::Flip() {
  const Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  // Whole stored rows, padding included, change places.
  for (std::size_t i = 0, j = rows.height - 1; i < j; ++i, --j)
    SwapRows(rows.StoredRow(i), rows.StoredRow(j), rows.lineBytes);
  return 1;
}

int CImageDataModel::Mirror() {
  const Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  const std::size_t pixelBytes = static_cast<std::size_t>(rows.width) * rows.pixelBytes;
  for (std::size_t i = 0; i < rows.height; ++i) {
    ReversePixels(rows.StoredRow(i), rows.width, rows.pixelBytes);
  }
  // Decision: the row padding after Mirror is zero.
  ZeroRowPadding(rows.bits, rows.lineBytes, rows.height, pixelBytes);
  return 1;
}
