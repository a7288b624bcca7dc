// Built only where libpng was found.
#ifdef ZENTREL_TEST_HAVE_PNG
#include "PngRendering.h"

#include <png.h>

#include <cstring>

namespace zt {

Rendering ReadPng(const std::string& path, bool alpha) {
  Rendering out;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return out;
  // A 16-bit file is read as its stored values (the simplified API would
  // otherwise take them as linear light and gamma-encode them) and each
  // value scaled to 8 bits.
  const bool wide = (png.format & PNG_FORMAT_FLAG_LINEAR) != 0;
  png.format = (alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB) | (wide ? PNG_FORMAT_FLAG_LINEAR : 0);
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return out;
  }
  out.width = png.width;
  out.height = png.height;
  if (wide) {
    const std::size_t values = pixels.size() / 2;
    out.rgb.resize(values);
    for (std::size_t i = 0; i < values; ++i) {
      std::uint16_t v;
      std::memcpy(&v, pixels.data() + 2 * i, 2);
      out.rgb[i] = static_cast<std::uint8_t>((v * 255u + 32767u) / 65535u);
    }
  } else {
    out.rgb = std::move(pixels);
  }
  return out;
}

}  // namespace zt

#endif  // ZENTREL_TEST_HAVE_PNG
