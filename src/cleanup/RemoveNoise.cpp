// The noise filter's entry point: parameter checks, then one in-place pass
// of the chosen window filter over the grey samples of an 8-bit image.
#include "ImageDataModel.h"
#include "cleanup/NoiseWindow.h"
#include "image/ImageAccess.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr int kMaxWindowSide = 10;

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::RemoveNoise(int width, int height, int k, int type) {
  const Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  // denoise-grey-only: the filters read every byte as a grey sample; the rows
  // of a 24-bit image hold blue, green and red, so such an image is refused,
  // not scrambled.
  if (rows.depth != 8) return 0;
  if (width < 1 || height < 1 || width > kMaxWindowSide || height > kMaxWindowSide) return 0;
  if (k >= width * height) return 0;
  // nearest-k-positive: the nearest-values mean divides by k and needs at
  // least one value; a k below 1 is a rejected parameter, never a black image.
  if (type == 2 && k <= 0) return 0;
  if (type < 0 || type > 4) return 1;

  const cleanup::NoiseWindow window = cleanup::MakeNoiseWindow(rows, width, height);
  if (window.Empty()) return 1;
  if (type == 2 || type == 3) {
    cleanup::RunRankFilter(window, k, type);
    return 1;
  }
  return cleanup::RunMeanFilter(window, type) ? 1 : 0;
}
