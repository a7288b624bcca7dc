// Builds against the installed header and library and makes one image.
#include <ImageDataModel.h>

int main() {
  CImageDataModel image;
  if (!image.InitImage(3, 2, 8)) return 1;
  image.SetPixel(1, 1, RGB(1, 2, 3));
  return image.GetPixel(1, 1) == RGB(1, 2, 3) && image.GetLineBytes() == 4 ? 0 : 1;
}
