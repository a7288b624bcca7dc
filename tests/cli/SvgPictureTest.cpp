// The SVG preview's picture: the record encoded as PNG through Zentrel::IO
// and base64, decoded again with base64 and libpng.
#include <gtest/gtest.h>

#include "Cli.h"
#include "support/TestSupport.h"

#ifdef ZENTREL_HAVE_PNG
#include <png.h>

namespace {

std::vector<std::uint8_t> FromBase64(const std::string& text) {
  static const std::string kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const std::size_t v = kDigits.find(c);
    if (v == std::string::npos) return {};
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out.push_back(static_cast<std::uint8_t>(bits >> count));
    }
  }
  return out;
}

// Decodes PNG bytes into RGB triples; empty on failure.
std::vector<std::uint8_t> DecodeRgb(const std::vector<std::uint8_t>& bytes, UINT& w, UINT& h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  w = image.width;
  h = image.height;
  return pixels;
}

TEST(SvgPicture, PaletteAndTrueColourImagesDecodeExactly) {
  for (int bits : {8, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 301, 67, bits);
    std::uint32_t seed = 7;
    for (UINT y = 0; y < 67; ++y)
      for (UINT x = 0; x < 301; ++x) {
        seed = seed * 1103515245u + 12345u;
        const COLORREF noise = (seed >> 8) & 0xFFFFFF;
        if (bits == 24)
          image.SetPixel(x, y, y % 5 == 0 ? noise : RGB(x, y, 7));
        else
          zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(y % 5 == 0 ? noise : x / (y + 3)));
      }
    if (bits == 8)
      for (int i = 0; i < 256; ++i)
        image.GetPalette()[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 77, 0};
    const std::string text = cli::PngBase64(image);
    EXPECT_EQ(text.size() % 4, 0u);
    UINT w = 0, h = 0;
    const std::vector<std::uint8_t> rgb = DecodeRgb(FromBase64(text), w, h);
    ASSERT_FALSE(rgb.empty()) << bits;
    ASSERT_EQ(w, 301u);
    ASSERT_EQ(h, 67u);
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x) {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
        ASSERT_EQ(RGB(p[0], p[1], p[2]), image.GetPixel(x, y)) << bits << ": " << x << "," << y;
      }
  }
}

}  // namespace
#endif
