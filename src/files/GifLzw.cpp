// The LZW decoding of the first frame: the data buffer and its refills, code
// assembly, the string table and the decoding loop.
//
// Two ways of expanding a code give the same indices. The exact walk follows
// the prefix chain one index at a time through an output stack, whatever the
// table holds. The fast way serves codes whose strings are known for certain
// (see m_length in GifDecoder.h) from 8-index chunks, written straight into
// the result row back to front; every other code takes the exact walk.
// Likewise codes are taken with one 32-bit load while their bytes lie well
// inside the buffer, and through GetNextCode near its end.
#include <algorithm>
#include <cstring>

#include "files/GifDecoder.h"
#include "platform/Endian.h"

namespace {

constexpr int kMaxCodeSize = 12;
// Lengths of strings not known (see GifDecoder::m_length): unknown + 1 is
// still unknown, and no chain of them reaches 0x10000 between two resets.
constexpr std::uint16_t kUnknown = 0x8000;

constexpr UINT RoundUp8(UINT n) { return (n + 7) & ~7u; }

// Branch hints for the decoding loop: rare paths stay out of its way.
#define GIF_LIKELY(x) __builtin_expect(!!(x), 1)
#define GIF_UNLIKELY(x) __builtin_expect(!!(x), 0)

// Stores 8 indices of a chunk, its low byte first.
inline void StoreChunk(BYTE* out, std::uint64_t chunk) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(out, &chunk, 8);
#else
  for (int i = 0; i < 8; ++i) out[i] = static_cast<BYTE>(chunk >> (8 * i));
#endif
}

}  // namespace

UINT GifDecoder::ReadSubBlocks() {
  UINT n = 0;
  BYTE count = 0;
  do {
    if (!m_input.ReadByte(&count)) break;
    n += m_input.Read(m_pData + n, count);
  } while (count != 0 && n <= m_nChunkSize);
  return n;
}

UINT GifDecoder::GetNextCode() {
  if (m_nBitPos >= 8 * m_nDataBytes) {
    // Bits of a code that ran past the last fill stay counted.
    m_nBitPos -= 8 * m_nDataBytes;
    m_nDataBytes = ReadSubBlocks();
    if (m_nDataBytes == 0) return m_nEndCode;
  }
  const UINT i = m_nBitPos / 8;
  // After a run of one-byte fills the position can pass the buffer's end;
  // bytes there read as 0 instead of from outside the buffer.
  const UINT b0 = i < m_nChunkSize + 255 ? m_pData[i] : 0;
  UINT b1 = 0;
  UINT b2 = 0;
  // Bytes past the fill are taken from the file, skipping the count byte of
  // the next sub-block, and given back afterwards: the next fill reads them
  // again. Only bytes actually read are given back.
  UINT taken = 0;
  bool fromFile = false;
  BYTE byte = 0;
  if (i + 1 < m_nDataBytes) {
    b1 = m_pData[i + 1];
  } else {
    fromFile = true;
    if (m_input.ReadByte(&byte)) ++taken;
    if (m_input.ReadByte(&byte)) {
      ++taken;
      b1 = byte;
    }
  }
  if (m_nCodeSize >= 8) {
    if (i + 2 < m_nDataBytes) {
      b2 = m_pData[i + 2];
    } else {
      if (!fromFile && m_input.ReadByte(&byte)) ++taken;
      if (m_input.ReadByte(&byte)) {
        ++taken;
        b2 = byte;
      }
    }
  }
  if (taken) m_input.SeekBack(taken);
  const UINT code = ((b2 << 16 | b1 << 8 | b0) >> (m_nBitPos % 8)) & m_nReadMask;
  m_nBitPos += static_cast<UINT>(m_nCodeSize);
  return code;
}

// Roots (the literal indices) are known strings of length 1. The codes
// between the colour mask and the first free code, the clear and end codes
// (handled before any expansion) and every entry not yet assigned are not.
void GifDecoder::ResetFastTable() {
  for (UINT code = 0; code < kTableSize; ++code) {
    const bool root = IsRoot(code) && code != m_nClearCode && code != m_nEndCode;
    m_length[code] = root ? 1 : kUnknown;
    if (code < m_nFirstFree) {
      m_chunk[code] = code;
      m_first[code] = static_cast<BYTE>(code);
    }
  }
}

// Writes the known string of code to out[0, length) back to front, in whole
// chunks, and zeros to out[length, RoundUp8(length)). In a result row those
// bytes lie ahead of the frame position, where the row still holds 0 until
// later strings fill it.
void GifDecoder::ExpandFast(UINT code, BYTE* out) const {
  BYTE* p = out + 8 * ((m_length[code] - 1u) / 8);
  StoreChunk(p, m_chunk[code]);
  while (p != out) {
    p -= 8;
    code = m_link[code];
    StoreChunk(p, m_chunk[code]);
  }
}

// The step-by-step expansion: a code not yet in the table stands for the
// previous code's string and the last first index; the walk follows the
// prefix chain while the code is a table code (not a root: see IsRoot),
// stopping at 4096 stack entries or at a code of 4096 or above, so that no
// chain, however garbled (even cyclic), leaves the tables. The string ends
// in m_nStack at its end; returns its length.
int GifDecoder::ExpandExactly(UINT code) {
  BYTE* const end = m_nStack + kStackSize;
  int top = 0;
  UINT cur = code;
  if (code >= m_nFreeCode) {
    cur = m_nOldCode;
    end[-++top] = static_cast<BYTE>(m_nFinChar);
  }
  while ((cur > m_nColorMask || cur >= m_nFirstFree) && top < static_cast<int>(kTableSize) &&
         cur < kTableSize) {
    end[-++top] = m_nSuffix[cur];
    cur = m_nPrefix[cur];
  }
  m_nCurCode = cur;
  m_nFinChar = cur & m_nColorMask;
  end[-++top] = static_cast<BYTE>(m_nFinChar);
  m_nStackTop = top;
  return top;
}

// GetNextCode for the decoding loop's local state; also renews the bound
// below which codes can be taken straight from the buffer.
UINT GifDecoder::FetchCode(UINT& bitPos, int codeSize, UINT readMask, UINT& fastLimit) {
  m_nBitPos = bitPos;
  m_nCodeSize = codeSize;
  m_nReadMask = readMask;
  const UINT code = GetNextCode();
  bitPos = m_nBitPos;
  fastLimit = m_nDataBytes >= 3 ? 8 * (m_nDataBytes - 2) : 0;
  return code;
}

void GifDecoder::RunDecodingLoop() {
  StartFrame();
  ResetFastTable();

  // The hot state lives in locals (the output stores could alias members);
  // it is handed back to the members around every call of a member that
  // reads it.
  const BYTE* const data = m_pData;
  const UINT colorMask = m_nColorMask;
  const UINT clearCode = m_nClearCode;
  const UINT endCode = m_nEndCode;
  const UINT firstFree = m_nFirstFree;
  const int imageWidth = m_nImageWidth;
  const int visibleWidth = m_nVisibleWidth;
  UINT bitPos = m_nBitPos;
  UINT fastLimit = 0;  // codes starting below this bit lie wholly in the buffer
  int codeSize = m_nCodeSize;
  UINT readMask = m_nReadMask;
  // The free code at which the code width grows; none once it is 12.
  UINT growAt = codeSize < kMaxCodeSize ? m_nMaxCode : ~0u;
  UINT freeCode = m_nFreeCode;
  UINT oldCode = m_nOldCode;
  UINT finChar = m_nFinChar;
  int col = m_nCol;
  BYTE* row = m_pRow;
  // Columns of the current row that strings may be written to directly.
  int rowRoom = row ? visibleWidth : 0;
  auto takeCursor = [&]() {
    col = m_nCol;
    row = m_pRow;
    rowRoom = row ? visibleWidth : 0;
  };
  auto nextCode = [&]() {
    if (GIF_LIKELY(bitPos < fastLimit)) {
      const UINT code = (LoadLE32(data + bitPos / 8) >> (bitPos % 8)) & readMask;
      bitPos += static_cast<UINT>(codeSize);
      return code;
    }
    return FetchCode(bitPos, codeSize, readMask, fastLimit);
  };

  for (;;) {
    UINT code = nextCode();
    UINT base = code;
    UINT length = m_length[code];
    if (GIF_UNLIKELY(length >= kUnknown)) {
      if (code - clearCode < 2) {
        if (code == endCode) break;
        // Entries assigned since the last clear become unknown again.
        std::fill(m_length + firstFree, m_length + freeCode, kUnknown);
        codeSize = m_nInitCodeSize;
        readMask = (1u << codeSize) - 1;
        growAt = codeSize < kMaxCodeSize ? 1u << codeSize : ~0u;
        freeCode = firstFree;
        // The code after a clear is a literal, whatever its value.
        code = nextCode();
        oldCode = code;
        finChar = code & colorMask;
        m_nCol = col;
        PutPixel(finChar);
        takeCursor();
        continue;
      }
      // A code past the table stands for the previous string plus its first
      // index.
      if (code >= freeCode && m_length[oldCode] < kUnknown) {
        base = oldCode;
        length = m_length[oldCode] + 1u;
      }
    }

    if (GIF_LIKELY(length < kUnknown)) {
      const UINT baseLength = m_length[base];
      const UINT extra = length - baseLength;
      if (GIF_LIKELY(rowRoom - col >= static_cast<int>(RoundUp8(baseLength) + extra))) {
        BYTE* out = row + col;
        if (GIF_LIKELY(baseLength <= 8))
          StoreChunk(out, m_chunk[base]);
        else
          ExpandFast(base, out);
        if (GIF_UNLIKELY(extra)) out[baseLength] = static_cast<BYTE>(finChar);
        col += static_cast<int>(length);
        if (GIF_UNLIKELY(col >= imageWidth)) {
          m_nCol = col;
          NextRow();
          takeCursor();
        }
      } else {
        ExpandFast(base, m_nStack);
        if (extra) m_nStack[baseLength] = static_cast<BYTE>(finChar);
        m_nCol = col;
        EmitRun(m_nStack, static_cast<int>(length));
        takeCursor();
      }
      finChar = m_first[base];
    } else {
      m_nFreeCode = freeCode;
      m_nOldCode = oldCode;
      m_nFinChar = finChar;
      const int count = ExpandExactly(code);
      finChar = m_nFinChar;
      m_nCol = col;
      EmitRun(m_nStack + kStackSize - count, count);
      takeCursor();
    }

    // A full table ends the decoding: nothing more is read.
    if (GIF_UNLIKELY(freeCode >= kTableSize)) break;
    // The new entry: the previous code's string plus this string's first
    // index, known when the previous string is (an unknown length stays
    // above kUnknown).
    const UINT prefixLength = m_length[oldCode];
    const UINT used = prefixLength % 8;
    m_chunk[freeCode] =
        used ? m_chunk[oldCode] | static_cast<std::uint64_t>(finChar) << (8 * used) : finChar;
    m_link[freeCode] = static_cast<std::uint16_t>(used ? m_link[oldCode] : oldCode);
    m_first[freeCode] = m_first[oldCode];
    m_nPrefix[freeCode] = static_cast<std::uint16_t>(oldCode);
    m_nSuffix[freeCode] = static_cast<BYTE>(finChar);
    m_length[freeCode] = static_cast<std::uint16_t>(prefixLength + 1);
    oldCode = code;
    if (GIF_UNLIKELY(++freeCode >= growAt)) {
      ++codeSize;
      readMask = (1u << codeSize) - 1;
      growAt = codeSize < kMaxCodeSize ? 1u << codeSize : ~0u;
    }
  }

  m_nBitPos = bitPos;
  SetCodeSize(codeSize);
  m_nFreeCode = freeCode;
  m_nOldCode = oldCode;
  m_nFinChar = finChar;
  m_nCol = col;
}
