// Turning one row of a BMP file's uncompressed pixels into a row of the
// record: low-depth indices widened to bytes, and 16- and 32-bit pixels
// under bit masks scaled to 8-bit blue, green, red.
#ifndef ZENTREL_FILES_BMPPIXELROWS_H
#define ZENTREL_FILES_BMPPIXELROWS_H

#include <cstdint>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// One colour channel under a bit mask: its value is (pixel & mask) shifted
/// down, scaled from 0..max to 0..255 and rounded to nearest. Channels of up
/// to 12 bits (all common ones) are scaled through a table.
class BitFieldChannel {
 public:
  explicit BitFieldChannel(std::uint32_t mask);
  BYTE Scale(std::uint32_t pixel) const {
    const std::uint32_t raw = (pixel & m_mask) >> m_shift;
    if (m_max < kTableSize) return m_table[raw];
    return static_cast<BYTE>((std::uint64_t{raw} * 255 + m_max / 2) / m_max);
  }

 private:
  static constexpr std::uint32_t kTableSize = 4096;
  std::uint32_t m_mask;
  unsigned m_shift = 0;
  std::uint32_t m_max = 0;
  BYTE m_table[kTableSize] = {};
};

/// count indices of bits (1, 2, 4 or 8) each, packed from the high bits of
/// each byte, written one per byte to out.
void UnpackIndices(const BYTE* in, std::uint32_t count, unsigned bits, BYTE* out);

/// count pixels of bytesPerPixel (2 or 4) little-endian bytes each, written
/// as blue, green, red to out.
void UnpackBitFields(const BYTE* in, std::uint32_t count, unsigned bytesPerPixel,
                     const BitFieldChannel channels[3], BYTE* out);

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_BMPPIXELROWS_H
