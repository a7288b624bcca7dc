// GifCodeStream: refills of the data buffer from the sub-block chain, and the
// exact way of taking a code near and past the end of a fill.
#include "files/GifCodeStream.h"

namespace zentrel::detail {

UINT GifCodeStream::ReadSubBlocks() {
  UINT n = 0;
  BYTE count = 0;
  do {
    if (!m_input.ReadByte(&count)) break;
    n += m_input.Read(m_data + n, count);
  } while (count != 0 && n <= m_chunkSize);
  return n;
}

LzwFetch GifCodeStream::Take(UINT bitPos, int width) {
  if (bitPos >= 8 * m_dataBytes) {
    bitPos -= 8 * m_dataBytes;
    m_dataBytes = ReadSubBlocks();
    if (m_dataBytes == 0) return {m_endCode, bitPos, 0};
  }
  const UINT i = bitPos / 8;
  // After a run of one-byte fills the position can pass the buffer's end;
  // bytes there read as 0 instead of from outside the buffer.
  const UINT b0 = i < m_chunkSize + 255 ? m_data[i] : 0;
  UINT b1 = 0;
  UINT b2 = 0;
  // Bytes past the fill are taken from the file, skipping the count byte of
  // the next sub-block, and given back afterwards: the next fill reads them
  // again. Only bytes actually read are given back.
  UINT taken = 0;
  bool fromFile = false;
  BYTE byte = 0;
  if (i + 1 < m_dataBytes) {
    b1 = m_data[i + 1];
  } else {
    fromFile = true;
    if (m_input.ReadByte(&byte)) ++taken;
    if (m_input.ReadByte(&byte)) {
      ++taken;
      b1 = byte;
    }
  }
  if (width >= 8) {
    if (i + 2 < m_dataBytes) {
      b2 = m_data[i + 2];
    } else {
      if (!fromFile && m_input.ReadByte(&byte)) ++taken;
      if (m_input.ReadByte(&byte)) {
        ++taken;
        b2 = byte;
      }
    }
  }
  if (taken) m_input.SeekBack(taken);
  const UINT mask = (1u << width) - 1;
  const UINT code = ((b2 << 16 | b1 << 8 | b0) >> (bitPos % 8)) & mask;
  const UINT fastLimit = m_dataBytes >= 3 ? 8 * (m_dataBytes - 2) : 0;
  return {code, bitPos + static_cast<UINT>(width), fastLimit};
}

}  // namespace zentrel::detail
