// A minimal host: creates an image, draws into it through the pixel
// operations and reports what the record holds.
#include <cstdio>

#include "ImageDataModel.h"

int main() {
  CImageDataModel image;
  if (!image.InitImage(64, 32, 24)) {
    std::fprintf(stderr, "example_host: cannot allocate the image\n");
    return 1;
  }
  image.SetName("example sheet");
  const COLORREF road = RGB(200, 40, 40);
  for (UINT x = 0; x < image.GetWidth(); ++x) image.SetPixel(x, 16, road);

  int background = 0;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) background += image.IsBackground(x, y);

  std::printf("%s: %u x %u pixels, %d bits, %u bytes per row\n", image.GetName().GetString(),
              image.GetWidth(), image.GetHeight(), image.GetColorPixel(), image.GetLineBytes());
  std::printf("pixel (5, 16) = 0x%06X, distance to road colour %d\n", image.GetPixel(5, 16),
              image.ColorDistance(5, 16, road));
  std::printf("background pixels against RGB(235, 235, 235): %d of %u\n", background,
              image.GetWidth() * image.GetHeight());
  return image.InitDIBData() == 1 ? 0 : 1;
}
