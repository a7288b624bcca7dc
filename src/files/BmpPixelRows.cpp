// Row conversions of the widened BMP reader.
#include "files/BmpPixelRows.h"

#include "platform/Endian.h"

BitFieldChannel::BitFieldChannel(std::uint32_t mask) : m_mask(mask) {
  if (mask == 0) return;
  while (((mask >> m_shift) & 1u) == 0) ++m_shift;
  m_max = mask >> m_shift;
}

void UnpackIndices(const BYTE* in, std::uint32_t count, unsigned bits, BYTE* out) {
  if (bits == 8) {
    for (std::uint32_t x = 0; x < count; ++x) out[x] = in[x];
    return;
  }
  const unsigned perByte = 8 / bits;
  const unsigned valueMask = (1u << bits) - 1;
  for (std::uint32_t x = 0; x < count; ++x) {
    const unsigned shift = 8 - bits * (x % perByte + 1);
    out[x] = static_cast<BYTE>((in[x / perByte] >> shift) & valueMask);
  }
}

void UnpackBitFields(const BYTE* in, std::uint32_t count, unsigned bytesPerPixel,
                     const BitFieldChannel channels[3], BYTE* out) {
  for (std::uint32_t x = 0; x < count; ++x, in += bytesPerPixel, out += 3) {
    const std::uint32_t pixel = bytesPerPixel == 2 ? LoadLE16(in) : LoadLE32(in);
    out[0] = channels[2].Scale(pixel);
    out[1] = channels[1].Scale(pixel);
    out[2] = channels[0].Scale(pixel);
  }
}
