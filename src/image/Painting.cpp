// Painting the held image into a device context: an unscaled copy when the
// rectangle is one pixel smaller than the image, a stretch otherwise.
#include "ImageDataModel.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

/// a − b modulo 2^32 as a signed value, as 32-bit arithmetic gives it, so
/// that an extreme rectangle wraps instead of overflowing.
int WrappedDifference(LONG a, LONG b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::PaintImageToDevice(CDC* dc, CRect* rect) {
  // Nothing to paint, or no device or rectangle (both are required): no call
  // is made on the device, rather than dereferencing a null pointer.
  // header-must-fit-block: the device reads the rows by the header, so it
  // must still describe the checked raster; otherwise the record acts as
  // empty.
  const ImageAccess::Raster raster = ImageAccess::Checked(*this);
  if (!HeaderDescribes(m_pBmh, raster) || !dc || !rect) return 0;
  HDC device = dc->m_hDC;

  HPALETTE previous = nullptr;
  if (m_pDIBPalette) previous = ::SelectPalette(device, m_pDIBPalette->m_hObject, TRUE);
  ::SetStretchBltMode(device, COLORONCOLOR);

  const int width = WrappedDifference(rect->right, rect->left);
  const int height = WrappedDifference(rect->bottom, rect->top);
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(m_pBmh);
  int painted;
  if (static_cast<UINT>(width) == raster.width - 1 &&
      static_cast<UINT>(height) == raster.height - 1) {
    // The device's source origin is the lower-left corner, so this shows the
    // bottom height − 1 rows and the left width − 1 columns.
    painted = ::SetDIBitsToDevice(device, rect->left, rect->top, static_cast<DWORD>(width),
                                  static_cast<DWORD>(height), 0, 0, 0, raster.height - 1,
                                  raster.bits, info, DIB_RGB_COLORS);
  } else {
    painted = ::StretchDIBits(device, rect->left, rect->top, width, height, 0, 0,
                              static_cast<int>(raster.width), static_cast<int>(raster.height),
                              raster.bits, info, DIB_RGB_COLORS, SRCCOPY);
  }

  if (previous) ::SelectPalette(device, previous, TRUE);
  return painted;
}
