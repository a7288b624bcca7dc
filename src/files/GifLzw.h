// LZW decoding of a GIF frame's code stream: the string table and the
// decoding loop, apart from where the codes come from and where the indices
// go. Run takes a code source and a row sink:
//
//   Codes: const BYTE* Data() const; LzwFetch Take(UINT bitPos, int width);
//          codes below a Take's fastLimit are read straight from Data()
//          (GifCodeStream::TakeFromBuffer); a source without such a buffer
//          gives fastLimit 0.
//   Rows:  LzwRowCursor Cursor(); LzwRowCursor Write(LzwRowCursor at,
//          const BYTE* indices, int count); LzwRowCursor EndRow(LzwRowCursor
//          at); void Stop(LzwRowCursor at); int Width() const. Stop is told
//          where the decoding ended. Columns [col, room) of the cursor's row
//          may be written directly and hold 0 until written; a direct write
//          that reaches Width() ends the row with EndRow.
//
// Two ways of expanding a code give the same indices. The exact walk follows
// the prefix chain one index at a time through an output stack, whatever the
// table holds. The fast way serves codes whose strings are known for certain
// from 8-index chunks, written straight into the row.
#ifndef ZENTREL_FILES_GIFLZW_H
#define ZENTREL_FILES_GIFLZW_H

#include <cstdint>
#include <cstring>

#include "files/GifCodeStream.h"

/// Where the next indices go: the row, the column, and the columns of the
/// row that may be written directly (0 when none may).
struct LzwRowCursor {
  BYTE* row;
  int col;
  int room;
};

class GifLzw {
 public:
  /// Codes have at most 12 bits, so the string table has 4096 entries.
  static constexpr UINT kTableSize = 4096;
  static constexpr int kMaxCodeSize = 12;

  /// A decoder for codes of minCodeSize (at most 11) + 1 bits and up, and
  /// colour indices masked with colorMask (the colour count − 1).
  GifLzw(UINT minCodeSize, UINT colorMask);

  UINT ClearCode() const { return m_clearCode; }
  UINT EndCode() const { return m_endCode; }

  /// Decodes codes until the end code, or until the code after the one that
  /// fills the table. The first code is taken as any other (a clear code
  /// there is usual but not needed).
  template <class Codes, class Rows>
  __attribute__((always_inline)) inline void Run(Codes& codes, Rows& rows);

 private:
  // A table entry's fields (m_meta): the string's length (bits 0–15;
  // kUnknown and above: not known, expand step by step) and its first index
  // (16–23).
  static constexpr std::uint16_t kUnknown = 0x8000;
  static UINT Length(std::uint32_t meta) { return static_cast<std::uint16_t>(meta); }
  static UINT First(std::uint32_t meta) { return static_cast<BYTE>(meta >> 16); }
  // The written table (m_written): the code of the string without its last
  // index (bits 0–15) and that index (16–23).
  static UINT Prefix(std::uint32_t written) { return static_cast<std::uint16_t>(written); }
  static UINT Suffix(std::uint32_t written) { return static_cast<BYTE>(written >> 16); }
  static std::uint32_t Written(UINT oldCode, UINT index) { return oldCode | index << 16; }

  /// The fields of entry freeCode for the previous string (its code and
  /// fields) plus index; stores its link. Known exactly when the previous
  /// string is: an unknown length + 1 stays unknown, and no chain of them
  /// passes 0xFFFF between two clears.
  void MakeEntry(std::uint32_t prevMeta, std::uint64_t prevChunk, UINT oldCode, UINT index,
                 UINT freeCode, std::uint32_t& meta, std::uint64_t& chunk) {
    const UINT used = Length(prevMeta) % 8;
    const std::uint64_t grown = prevChunk | static_cast<std::uint64_t>(index) << (8 * used);
    chunk = used ? grown : index;
    m_link[freeCode] = static_cast<std::uint16_t>(used ? m_link[oldCode] : oldCode);
    meta = prevMeta + 1;
  }

  // A literal colour index: not above the colour mask, and not an entry of
  // the table. With more colours than the minimum code size covers, codes
  // from the first free code up are table entries even below the colour
  // count; taking them as indices would garble valid files.
  bool IsRoot(UINT code) const { return code <= m_colorMask && code < m_firstFree; }
  // Entries assigned since the last clear become unknown again.
  void ForgetEntries(UINT freeCode);
  // Writes the known string of code to out[0, length) back to front, in
  // whole chunks, and zeros to out[length, length rounded up to 8).
  void ExpandKnown(UINT code, BYTE* out) const {
    BYTE* p = out + 8 * ((Length(m_meta[code]) - 1u) / 8);
    StoreChunk(p, m_chunk[code]);
    while (p != out) {
      p -= 8;
      code = m_link[code];
      StoreChunk(p, m_chunk[code]);
    }
  }
  // Stores 8 indices of a chunk, its low byte first.
  static void StoreChunk(BYTE* out, std::uint64_t chunk) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, &chunk, 8);
#else
    for (int i = 0; i < 8; ++i) out[i] = static_cast<BYTE>(chunk >> (8 * i));
#endif
  }
  struct Walk {
    int count;
    UINT finChar;
  };
  // The step-by-step expansion into the end of m_stack (kept out of line:
  // it is rare, and inlined it would cost the loop its registers).
  __attribute__((noinline)) Walk ExpandExactly(UINT code, UINT freeCode, UINT oldCode,
                                               UINT finChar);

  // The output stack holds a whole string: at most 4096 indices (the walk
  // stops there) plus the one pushed ahead for a code not yet in the table;
  // 8 spare bytes, as the fast expansion writes whole chunks.
  static constexpr int kStackSize = 4097;

  UINT m_colorMask;
  UINT m_clearCode;
  UINT m_endCode;
  UINT m_firstFree;
  int m_initCodeSize;

  // Entry fields (see above); m_chunk, the string's indices 8k.. (index 8k
  // in the low byte, 0 after the string's end, k = (length − 1) / 8); and
  // m_link, the entry whose string is the first 8k indices (only set, and
  // only read, for strings longer than 8). Entries from the first free code
  // up hold 0 and an unknown length until assigned; one spare entry takes
  // the write after the table has filled. The arrays read for each code
  // stay apart from the written table, small enough for the first-level
  // cache.
  std::uint32_t m_meta[kTableSize + 1];
  std::uint64_t m_chunk[kTableSize + 1];
  std::uint16_t m_link[kTableSize + 1];
  std::uint32_t m_written[kTableSize + 1];
  BYTE m_stack[kStackSize + 8];
};

// Branch hints for the decoding loop: rare paths stay out of its way.
#define GIF_LZW_LIKELY(x) __builtin_expect(!!(x), 1)
#define GIF_LZW_UNLIKELY(x) __builtin_expect(!!(x), 0)

template <class Codes, class Rows>
inline void GifLzw::Run(Codes& codes, Rows& rows) {
  // The hot state lives in locals: stores through the output rows could
  // alias members.
  const BYTE* const data = codes.Data();
  const int width = rows.Width();
  UINT bitPos = 0;
  UINT fastLimit = 0;  // codes starting below this bit lie wholly in the buffer
  int codeSize = m_initCodeSize;
  UINT growAt = 1u << codeSize;  // the free code at which the width grows
  UINT freeCode = m_firstFree;
  UINT oldCode = 0;
  UINT finChar = 0;
  // The previous code's fields: before any code, those of code 0.
  std::uint32_t prevMeta = m_meta[0];
  std::uint64_t prevChunk = m_chunk[0];
  LzwRowCursor at = rows.Cursor();
  // Strings of up to 8 indices starting at or below this column fit before
  // both the room's end and the row's end.
  int fastCol = at.room - 9;

  auto nextCode = [&]() {
    if (GIF_LZW_LIKELY(bitPos < fastLimit)) {
      const UINT code = GifCodeStream::TakeFromBuffer(data, bitPos, codeSize);
      bitPos += static_cast<UINT>(codeSize);
      return code;
    }
    const LzwFetch fetch = codes.Take(bitPos, codeSize);
    bitPos = fetch.bitPos;
    fastLimit = fetch.fastLimit;
    return fetch.code;
  };
  auto write = [&](const BYTE* indices, int count) {
    at = rows.Write(at, indices, count);
    fastCol = at.room - 9;
  };

  for (;;) {
    const UINT code = nextCode();
    const std::uint32_t meta = m_meta[code];
    const std::uint64_t chunk = m_chunk[code];
    const UINT length = Length(meta);
    const UINT prevLength = Length(prevMeta);
    std::uint32_t newMeta;
    std::uint64_t newChunk;
    UINT index;  // the first index of this code's string
    if (GIF_LZW_LIKELY(((length - 1) | prevLength) < 8 && at.col <= fastCol)) {
      // A known string of up to 8 indices, with room in the row, after a
      // known string of up to 7: the new entry's string fits one chunk, and
      // its link is never read.
      StoreChunk(at.row + at.col, chunk);
      at.col += static_cast<int>(length);
      index = static_cast<BYTE>(chunk);
      newChunk = prevChunk | static_cast<std::uint64_t>(index) << (8 * prevLength);
      newMeta = prevMeta + 1;
      prevMeta = meta;
      prevChunk = chunk;
    } else if (GIF_LZW_LIKELY(length < kUnknown &&
                              at.room - at.col >= static_cast<int>((length + 7) & ~7u))) {
      // A known string of any length with room in the row, written back to
      // front in whole chunks.
      BYTE* const out = at.row + at.col;
      if (length <= 8)
        StoreChunk(out, chunk);
      else
        ExpandKnown(code, out);
      at.col += static_cast<int>(length);
      if (GIF_LZW_UNLIKELY(at.col >= width)) {
        at = rows.EndRow(at);
        fastCol = at.room - 9;
      }
      index = First(meta);
      MakeEntry(prevMeta, prevChunk, oldCode, index, freeCode, newMeta, newChunk);
      prevMeta = meta;
      prevChunk = chunk;
    } else {
      if (GIF_LZW_UNLIKELY(code - m_clearCode < 2)) {
        if (code == m_endCode) break;
        ForgetEntries(freeCode);
        codeSize = m_initCodeSize;
        growAt = 1u << codeSize;
        freeCode = m_firstFree;
        // The code after a clear is a literal, whatever its value.
        oldCode = nextCode();
        finChar = oldCode & m_colorMask;
        prevMeta = m_meta[oldCode];
        prevChunk = m_chunk[oldCode];
        const BYTE literal = static_cast<BYTE>(finChar);
        write(&literal, 1);
        continue;
      }
      // After a known string, the last first index is that string's.
      if (prevLength < kUnknown) finChar = First(prevMeta);
      UINT base = code;
      UINT extra = 0;
      if (code >= freeCode && prevLength < kUnknown) {
        // A code past the table stands for the previous string plus its
        // first index.
        base = oldCode;
        extra = 1;
      }
      const UINT baseLength = Length(m_meta[base]);
      if (baseLength < kUnknown) {
        const UINT total = baseLength + extra;
        const UINT rounded = (baseLength + 7) & ~7u;
        if (at.room - at.col >= static_cast<int>(rounded + extra)) {
          BYTE* out = at.row + at.col;
          ExpandKnown(base, out);
          if (extra) out[baseLength] = static_cast<BYTE>(finChar);
          at.col += static_cast<int>(total);
          if (at.col >= width) {
            at = rows.EndRow(at);
            fastCol = at.room - 9;
          }
        } else {
          ExpandKnown(base, m_stack);
          if (extra) m_stack[baseLength] = static_cast<BYTE>(finChar);
          write(m_stack, static_cast<int>(total));
        }
        finChar = First(m_meta[base]);
      } else {
        const Walk walk = ExpandExactly(code, freeCode, oldCode, finChar);
        finChar = walk.finChar;
        write(m_stack + kStackSize - walk.count, walk.count);
      }
      index = finChar;
      MakeEntry(prevMeta, prevChunk, oldCode, index, freeCode, newMeta, newChunk);
      // A code just entered is the previous string of the next one.
      const bool justEntered = code == freeCode;
      prevMeta = justEntered ? newMeta : meta;
      prevChunk = justEntered ? newChunk : chunk;
    }
    m_meta[freeCode] = newMeta;
    m_chunk[freeCode] = newChunk;
    m_written[freeCode] = Written(oldCode, index);
    oldCode = code;
    if (GIF_LZW_UNLIKELY(++freeCode >= growAt)) {
      // After the entry that fills the table, one more code is decoded
      // (into the spare entry); then nothing more is read.
      if (freeCode > kTableSize) break;
      if (codeSize < kMaxCodeSize) {
        ++codeSize;
        growAt = 1u << codeSize;
      } else {
        growAt = kTableSize + 1;
      }
    }
  }
  rows.Stop(at);
}

#undef GIF_LZW_LIKELY
#undef GIF_LZW_UNLIKELY

#endif  // ZENTREL_FILES_GIFLZW_H
