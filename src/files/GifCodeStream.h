// The framing of a GIF frame's LZW data: the sub-blocks gathered into the
// data buffer, its refills, and the codes taken from it bit by bit (bytes
// past a fill taken ahead from the file and given back).
#ifndef ZENTREL_FILES_GIFCODESTREAM_H
#define ZENTREL_FILES_GIFCODESTREAM_H

#include "files/GifInput.h"
#include "platform/Endian.h"

namespace zentrel::detail {

/// One code as the code stream gives it, with the bit position after it and
/// the bound below which the next codes may be taken straight from the
/// buffer (see GifCodeStream::TakeFromBuffer).
struct LzwFetch {
  UINT code;
  UINT bitPos;
  UINT fastLimit;
};

class GifCodeStream {
 public:
  /// Spare bytes the buffer needs after its chunkSize + 255 data bytes, so
  /// that a code can be assembled with one 32-bit load at any byte below
  /// the end of a fill.
  static constexpr UINT kPadding = 8;

  /// data: chunkSize + 255 + kPadding bytes, zeroed by the caller (bytes a
  /// fill has not reached read the same every time). chunkSize: the fill
  /// threshold; a fill reads sub-blocks until it holds more than this.
  /// endCode: what Take gives once the data is exhausted.
  GifCodeStream(GifInput& input, BYTE* data, UINT chunkSize, UINT endCode)
      : m_input(input), m_data(data), m_chunkSize(chunkSize), m_endCode(endCode) {}
  GifCodeStream(const GifCodeStream&) = delete;
  GifCodeStream& operator=(const GifCodeStream&) = delete;

  /// The buffer the fast path reads from.
  const BYTE* Data() const { return m_data; }

  /// The code of width bits (at most 12) at bitPos, exactly as the reader
  /// has always taken it: a position at or past the fill's end refills the
  /// buffer first (bits of a code that ran past the fill stay counted) and
  /// an empty fill gives the end code; bytes a code needs past the fill are
  /// read ahead from the file, skipping the next sub-block's count byte,
  /// and given back.
  __attribute__((noinline)) LzwFetch Take(UINT bitPos, int width);

  /// The code of width bits at bitPos, for a bitPos below the last Take's
  /// fastLimit: its bytes lie wholly in the current fill.
  static UINT TakeFromBuffer(const BYTE* data, UINT bitPos, int width) {
    return (LoadLE32(data + bitPos / 8) >> (bitPos % 8)) & ((1u << width) - 1);
  }

 private:
  UINT ReadSubBlocks();

  GifInput& m_input;
  BYTE* m_data;
  UINT m_chunkSize;
  UINT m_endCode;
  UINT m_dataBytes = 0;
};

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_GIFCODESTREAM_H
