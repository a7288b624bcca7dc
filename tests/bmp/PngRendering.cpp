// Built only where libpng was found.
#ifdef ZENTREL_TEST_HAVE_PNG
#include "PngRendering.h"

#include <png.h>

namespace zt {

Rendering ReadPng(const std::string& path, bool alpha) {
  Rendering out;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return out;
  png.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return out;
  }
  out.width = png.width;
  out.height = png.height;
  out.rgb = std::move(pixels);
  return out;
}

}  // namespace zt

#endif  // ZENTREL_TEST_HAVE_PNG
