// Builds against the installed companion library: writes an image as PNG
// and TIFF into the folder given and reads both back.
#include <ZentrelIO.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  CImageDataModel image;
  if (!image.InitImage(5, 3, 24)) return 1;
  image.SetPixel(4, 2, RGB(10, 20, 30));
  for (const char* name : {"/out.png", "/out.tif"}) {
    const std::string path = std::string(argv[1]) + name;
    zentrel::io::OutputFormat format;
    if (!zentrel::io::OutputFormatFromName(path, format)) return 1;
    if (!zentrel::io::WriteImage(image, path, format)) return 1;
    CImageDataModel back;
    if (!zentrel::io::ReadImage(path, back) || back.GetPixel(4, 2) != RGB(10, 20, 30)) return 1;
  }
  return 0;
}
