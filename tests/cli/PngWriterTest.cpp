// The tool's PNG encoder, decoded with an independent PNG reader.
#include <gtest/gtest.h>

#include "PngWriter.h"
#include "support/TestSupport.h"

#ifdef ZENTREL_HAVE_PNG
#include <png.h>

namespace {

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

void ExpectSamePicture(const CImageDataModel& image) {
  UINT w = 0, h = 0;
  const std::vector<std::uint8_t> rgb = DecodeRgb(cli::EncodePng(image), w, h);
  ASSERT_FALSE(rgb.empty());
  ASSERT_EQ(w, image.GetWidth());
  ASSERT_EQ(h, image.GetHeight());
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) {
      const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      ASSERT_EQ(RGB(p[0], p[1], p[2]), image.GetPixel(x, y)) << x << "," << y;
    }
}

TEST(PngWriter, PaletteAndTrueColourImagesDecodeExactly) {
  // Long runs, repeated rows, and noise, so that literals, runs and row
  // repeats of every length class are all written.
  for (int bits : {8, 24}) {
    CImageDataModel image;
    zt::MakeImage(image, 301, 67, bits);
    std::uint32_t seed = 7;
    for (UINT y = 0; y < 67; ++y)
      for (UINT x = 0; x < 301; ++x) {
        seed = seed * 1103515245u + 12345u;
        const COLORREF noise = (seed >> 8) & 0xFFFFFF;
        const COLORREF colour = y % 5 == 0          ? noise
                                : (x / (y + 3)) % 2 ? RGB(200, 10, 10)
                                                    : RGB(x, y, 7);
        if (bits == 24)
          image.SetPixel(x, y, colour);
        else
          zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(y % 5 == 0 ? noise : x / (y + 3)));
      }
    if (bits == 8)
      for (int i = 0; i < 256; ++i)
        image.GetPalette()[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 77, 0};
    ExpectSamePicture(image);
  }
}

TEST(PngWriter, Base64PadsAsTheStandardSays) {
  EXPECT_EQ(cli::Base64({}), "");
  EXPECT_EQ(cli::Base64({'f'}), "Zg==");
  EXPECT_EQ(cli::Base64({'f', 'o'}), "Zm8=");
  EXPECT_EQ(cli::Base64({'f', 'o', 'o', 'b', 'a', 'r'}), "Zm9vYmFy");
}

}  // namespace
#endif
