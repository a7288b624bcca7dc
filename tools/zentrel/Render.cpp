// The render command: paints an image into the off-screen device, one to
// one or stretched, and saves what the device shows.
#include <cstdio>

#include "Cli.h"
#include "Operations.h"

namespace cli {

int RunRender(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::puts(
        "usage: zentrel render IN OUT.bmp [--size WxH]\n"
        "Paints the image with PaintImageToDevice into an off-screen device of the\n"
        "image's size (one to one) or of the given size (stretched), and saves the\n"
        "device's pixels as a 24-bit BMP file. Painting keeps the library's limit:\n"
        "an image wider or higher than 10000 pixels is refused (\"Map is too large\").");
    return 0;
  }
  std::vector<std::string> files;
  long width = 0, height = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--size") {
      if (i + 1 >= args.size()) throw UsageError("--size needs WxH");
      const std::string size = args[++i];
      const std::size_t x = size.find('x');
      if (x == std::string::npos || !ParseInteger(size.substr(0, x), 1, 30000, width) ||
          !ParseInteger(size.substr(x + 1), 1, 30000, height))
        throw UsageError("--size '" + size + "' is not WxH with sides 1..30000");
    } else if (!args[i].empty() && args[i][0] == '-') {
      throw UsageError("unknown option '" + args[i] + "'");
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) throw UsageError("render needs an input and an output file");

  CImageDataModel image;
  LoadImage(image, files[0]);
  if (width == 0) {
    width = image.GetWidth();
    height = image.GetHeight();
  }
  CDC device(static_cast<int>(width), static_cast<int>(height));
  if (device.GetWidth() == 0) throw Failure("cannot make a device of that size");
  // The whole device rectangle: a stretch (one to one when the sizes agree).
  CRect rect(0, 0, static_cast<int>(width), static_cast<int>(height));
  const int rows = image.PaintImageToDevice(&device, &rect);
  if (rows == 0) throw Failure(files[0] + ": nothing was painted");
  if (!device.SaveBitmap(files[1].c_str())) throw Failure(files[1] + ": cannot write it");
  std::printf("painted %d rows into %ld x %ld, saved %s\n", rows, width, height, files[1].c_str());
  return 0;
}

}  // namespace cli
