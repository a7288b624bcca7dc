// Rows of decoded samples (any depth up to 16 bits, grey, palette or RGB,
// with or without alpha) turned into the record's 8-bit or 24-bit image.
#ifndef ZENTREL_IO_RECORDFILL_H
#define ZENTREL_IO_RECORDFILL_H

#include <cstdint>
#include <vector>

#include "ZentrelIO.h"

namespace zentrel {
namespace io {

/// How the samples of a decoded row are laid out.
struct SampleLayout {
  enum Kind { Grey, GreyAlpha, Palette, Rgb, Rgba } kind = Grey;
  unsigned maxValue = 255;  // largest sample value (2^bits − 1, or a PNM maxval)
  /// Palette entries (red, green, blue, alpha 0..255), at most 256.
  std::vector<std::uint8_t> palette;
  /// A sample value (grey) or triple (RGB) that marks a transparent pixel.
  bool hasTransparentValue = false;
  unsigned transparent[3] = {0, 0, 0};

  unsigned Channels() const;
};

/// 0..maxValue scaled to 0..255, rounded (sample-scale-rounding: as libpng's
/// png_set_scale_16 and netpbm's pamdepth, not the high byte); maxValue in 1..65535.
inline unsigned ScaleSample(unsigned value, unsigned maxValue) {
  if (value >= maxValue) return 255;
  return (value * 255u + maxValue / 2) / maxValue;
}
/// colour over white paper by alpha, all 0..255, rounded (alpha-over-white:
/// the record has no alpha, and map sheets are printed on white).
inline unsigned OverWhite(unsigned colour, unsigned alpha) {
  return (colour * alpha + 255u * (255u - alpha) + 127u) / 255u;
}

/// Installs the image in an empty record and fills it row by row.
class RecordFill {
 public:
  RecordFill(CImageDataModel& image, const SampleLayout& layout)
      : m_image(image), m_layout(layout) {}
  /// Checks the size and the layout, then makes the blank image.
  Status Begin(std::uint64_t width, std::uint64_t height);
  /// Row y (from the top): width × Channels() samples.
  void PutRow(unsigned y, const std::uint16_t* samples);
  /// Releases the image after a failure.
  void Abandon();

 private:
  CImageDataModel& m_image;
  const SampleLayout& m_layout;
  unsigned m_width = 0;
};

}  // namespace io
}  // namespace zentrel

#endif  // ZENTREL_IO_RECORDFILL_H
