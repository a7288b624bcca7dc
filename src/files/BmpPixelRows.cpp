// Row conversions of the widened BMP reader.
#include "files/BmpPixelRows.h"

#include <cstring>

#include "platform/Endian.h"

namespace zentrel::detail {

BitFieldChannel::BitFieldChannel(std::uint32_t mask) : m_mask(mask) {
  if (mask == 0) return;  // a channel of 0 (the table's entry 0)
  while (((mask >> m_shift) & 1u) == 0) ++m_shift;
  m_max = mask >> m_shift;
  if (m_max < kTableSize)
    for (std::uint32_t raw = 0; raw <= m_max; ++raw)
      m_table[raw] = static_cast<BYTE>((raw * 255 + m_max / 2) / m_max);
}

void UnpackIndices(const BYTE* in, std::uint32_t count, unsigned bits, BYTE* out) {
  if (bits == 8) {
    std::memcpy(out, in, count);
    return;
  }
  // A byte at a time: its indices from the high bits down.
  const unsigned perByte = 8 / bits;
  const unsigned valueMask = (1u << bits) - 1;
  std::uint32_t x = 0;
  for (; x + perByte <= count; ++in)
    for (int shift = 8 - static_cast<int>(bits); shift >= 0; shift -= static_cast<int>(bits))
      out[x++] = static_cast<BYTE>((*in >> shift) & valueMask);
  for (int shift = 8 - static_cast<int>(bits); x < count; shift -= static_cast<int>(bits))
    out[x++] = static_cast<BYTE>((*in >> shift) & valueMask);
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

}  // namespace zentrel::detail
