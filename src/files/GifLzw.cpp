// GifLzw: the string table's start and clears, and the two ways of
// expanding a code (the decoding loop itself is in the header).
#include "files/GifLzw.h"

namespace zentrel::detail {

// Roots (the literal indices) are known strings of length 1. The codes
// between the colour mask and the first free code, the clear and end codes
// (handled before any expansion) and every entry not yet assigned are not;
// their written table entries read as 0.
GifLzw::GifLzw(UINT minCodeSize, UINT colorMask)
    : m_colorMask(colorMask),
      m_clearCode(1u << minCodeSize),
      m_endCode(m_clearCode + 1),
      m_firstFree(m_clearCode + 2),
      m_initCodeSize(static_cast<int>(minCodeSize) + 1),
      m_stack() {
  for (UINT code = 0; code <= kTableSize; ++code) {
    const bool root = IsRoot(code) && code != m_clearCode && code != m_endCode;
    m_meta[code] = root ? 1 | code << 16 : kUnknown;
    m_chunk[code] = root ? code : 0;
    m_written[code] = 0;
    m_link[code] = 0;
  }
}

void GifLzw::ForgetEntries(UINT freeCode) {
  for (UINT code = m_firstFree; code < freeCode; ++code)
    m_meta[code] = (m_meta[code] & ~0xFFFFu) | kUnknown;
}

// A code not yet in the table stands for the previous code's string and the
// last first index; the walk follows the prefix chain while the code is a
// table code (not a root: see IsRoot), stopping at 4096 stack entries or at
// a code of 4096 or above, so that no chain, however garbled (even cyclic),
// leaves the tables. The string ends at the end of m_stack.
GifLzw::Walk GifLzw::ExpandExactly(UINT code, UINT freeCode, UINT oldCode, UINT finChar) {
  BYTE* const end = m_stack + kStackSize;
  int top = 0;
  UINT cur = code;
  if (code >= freeCode) {
    cur = oldCode;
    end[-++top] = static_cast<BYTE>(finChar);
  }
  while ((cur > m_colorMask || cur >= m_firstFree) && top < static_cast<int>(kTableSize) &&
         cur < kTableSize) {
    end[-++top] = static_cast<BYTE>(Suffix(m_written[cur]));
    cur = Prefix(m_written[cur]);
  }
  finChar = cur & m_colorMask;
  end[-++top] = static_cast<BYTE>(finChar);
  return {top, finChar};
}

}  // namespace zentrel::detail
