// Deterministic grey test images for the noise-filter tests: a small
// pseudo-random generator and images of several characters (noise, few
// levels with many ties, smooth ramps with noise).
#ifndef ZENTREL_TESTS_CLEANUP_NOISEIMAGES_H
#define ZENTREL_TESTS_CLEANUP_NOISEIMAGES_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "ImageDataModel.h"
#include "cleanup/NoiseWindow.h"
#include "support/TestSupport.h"

namespace zt {

/// xorshift64*: the same numbers on every platform and library.
class TestRandom {
 public:
  explicit TestRandom(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint32_t Next() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return static_cast<std::uint32_t>((m_state * 0x2545F4914F6CDD1Dull) >> 32);
  }
  /// A number in lo..hi inclusive.
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1));
  }

 private:
  std::uint64_t m_state;
};

enum class GreyPattern { kNoise, kFewLevels, kRampWithNoise, kFlat };

/// Fills every pixel sample (not the row padding) of an 8-bit image.
inline void FillGrey(CImageDataModel& image, GreyPattern pattern, TestRandom& random) {
  const UINT width = image.GetWidth();
  const UINT height = image.GetHeight();
  // Few levels: values symmetric about a centre, so that the nearest-values
  // filter meets ties between v − d and v + d all the time.
  const int centre = random.Between(30, 225);
  const int step = random.Between(1, 30);
  const int flat = random.Between(0, 255);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      int value = 0;
      switch (pattern) {
        case GreyPattern::kNoise:
          value = random.Between(0, 255);
          break;
        case GreyPattern::kFewLevels:
          value = centre + step * random.Between(-1, 1);
          break;
        case GreyPattern::kRampWithNoise:
          value = static_cast<int>((x * 7 + y * 5) % 256) + random.Between(-12, 12);
          break;
        case GreyPattern::kFlat:
          value = flat;
          break;
      }
      value = value < 0 ? 0 : (value > 255 ? 255 : value);
      SetIndexAt(image, x, y, static_cast<std::uint8_t>(value));
    }
  }
}

/// The whole packed DIB block as bytes: header, colour table, rows, padding
/// and the spare row.
inline std::vector<std::uint8_t> BlockBytes(const CImageDataModel& image) {
  const std::uint8_t* start = reinterpret_cast<const std::uint8_t*>(image.GetBmh());
  const std::size_t size = static_cast<std::size_t>(image.GetBuffer() - start) +
                           static_cast<std::size_t>(image.GetLineBytes()) * (image.GetHeight() + 1);
  return std::vector<std::uint8_t>(start, start + size);
}

/// A second record holding a copy of image's block.
inline void CopyImage(const CImageDataModel& image, CImageDataModel& copy) {
  MakeImage(copy, static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()),
            image.GetColorPixel());
  const std::vector<std::uint8_t> bytes = BlockBytes(image);
  std::memcpy(copy.GetBmh(), bytes.data(), bytes.size());
}

/// The W × H window over an 8-bit image's rows, for the filters' internal
/// entry points.
inline zentrel::detail::cleanup::NoiseWindow NoiseWindowOver(CImageDataModel& image, int w, int h) {
  return zentrel::detail::cleanup::MakeNoiseWindow(
      zentrel::detail::Raster::Rows(image.GetBuffer(), image.GetWidth(), image.GetHeight(),
                                    image.GetLineBytes(), 8),
      w, h);
}

}  // namespace zt

#endif  // ZENTREL_TESTS_CLEANUP_NOISEIMAGES_H
