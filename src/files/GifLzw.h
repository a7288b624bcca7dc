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

namespace zentrel::detail {

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

  UINT EndCode() const { return m_endCode; }

  /// Decodes codes until the end code, or until the code after the one that
  /// fills the table. The first code is taken as any other (a clear code
  /// there is usual but not needed). Always inlined, so that a caller can
  /// build it for the instructions of a processor (see GifFrameData.cpp).
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

  // lzw-literal-codes: a literal colour index is not above the colour mask
  // and not an entry of the table. With more colours than the minimum code
  // size covers, codes from the first free code up are table entries even
  // below the colour count; taking them as indices would garble valid files.
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

  // The decoding loop's state. Run and the helpers below are inlined into
  // one function, so that it lives in registers: stores through the rows
  // could alias members.
  struct LoopState {
    const BYTE* data;
    UINT bitPos;
    UINT fastLimit;  // codes starting below this bit lie wholly in the buffer
    int codeSize;
    UINT growAt;  // the free code at which the width grows
    UINT freeCode;
    UINT oldCode;
    UINT finChar;            // the last first index (see WriteOther)
    std::uint32_t prevMeta;  // the previous code's fields
    std::uint64_t prevChunk;
    LzwRowCursor at;
    int fastCol;  // strings of up to 8 starting at or below fit the row
  };
  // The fields of the entry a code makes, and the first index of its string.
  struct NewEntry {
    std::uint32_t meta;
    std::uint64_t chunk;
    UINT index;
  };
#define GIF_LZW_INLINE __attribute__((always_inline)) inline
  template <class Codes>
  GIF_LZW_INLINE UINT NextCode(LoopState& s, Codes& codes);
  template <class Rows>
  GIF_LZW_INLINE void Write(LoopState& s, Rows& rows, const BYTE* indices, int count);
  GIF_LZW_INLINE NewEntry WriteShort(LoopState& s, std::uint32_t meta, std::uint64_t chunk);
  template <class Rows>
  GIF_LZW_INLINE NewEntry WriteInRow(LoopState& s, Rows& rows, UINT code, std::uint32_t meta,
                                     std::uint64_t chunk);
  template <class Rows>
  GIF_LZW_INLINE NewEntry WriteOther(LoopState& s, Rows& rows, UINT code, std::uint32_t meta,
                                     std::uint64_t chunk);
  template <class Codes, class Rows>
  GIF_LZW_INLINE void Restart(LoopState& s, Codes& codes, Rows& rows);
  GIF_LZW_INLINE bool Enter(LoopState& s, UINT code, const NewEntry& entry);
#undef GIF_LZW_INLINE

  // lzw-long-strings: the output stack holds a whole string, at most 4096
  // indices (the walk stops there) plus the one pushed ahead for a code not
  // yet in the table, so that long runs of valid files are never cut short;
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
  const UINT firstCodeSize = static_cast<UINT>(m_initCodeSize);
  // Before any code the previous string is index 0's.
  LoopState s{codes.Data(),  0, 0, m_initCodeSize, 1u << firstCodeSize,
              m_firstFree,   0, 0, m_meta[0],      m_chunk[0],
              rows.Cursor(), 0};
  s.fastCol = s.at.room - 9;
  for (;;) {
    const UINT code = NextCode(s, codes);
    const std::uint32_t meta = m_meta[code];
    const std::uint64_t chunk = m_chunk[code];
    NewEntry entry;
    if (GIF_LZW_LIKELY(((Length(meta) - 1) | Length(s.prevMeta)) < 8 && s.at.col <= s.fastCol)) {
      entry = WriteShort(s, meta, chunk);
    } else if (GIF_LZW_LIKELY(Length(meta) < kUnknown &&
                              s.at.room - s.at.col >= static_cast<int>((Length(meta) + 7) & ~7u))) {
      entry = WriteInRow(s, rows, code, meta, chunk);
    } else if (GIF_LZW_UNLIKELY(code - m_clearCode < 2)) {
      if (code == m_endCode) break;
      Restart(s, codes, rows);
      continue;
    } else {
      entry = WriteOther(s, rows, code, meta, chunk);
    }
    if (!Enter(s, code, entry)) break;
  }
  rows.Stop(s.at);
}

template <class Codes>
inline UINT GifLzw::NextCode(LoopState& s, Codes& codes) {
  if (GIF_LZW_LIKELY(s.bitPos < s.fastLimit)) {
    const UINT code = GifCodeStream::TakeFromBuffer(s.data, s.bitPos, s.codeSize);
    s.bitPos += static_cast<UINT>(s.codeSize);
    return code;
  }
  const LzwFetch fetch = codes.Take(s.bitPos, s.codeSize);
  s.bitPos = fetch.bitPos;
  s.fastLimit = fetch.fastLimit;
  return fetch.code;
}

template <class Rows>
inline void GifLzw::Write(LoopState& s, Rows& rows, const BYTE* indices, int count) {
  s.at = rows.Write(s.at, indices, count);
  s.fastCol = s.at.room - 9;
}

// A known string of up to 8 indices, with room in the row, after a known
// string of up to 7: the new entry's string fits one chunk, and its link is
// never read.
inline GifLzw::NewEntry GifLzw::WriteShort(LoopState& s, std::uint32_t meta, std::uint64_t chunk) {
  StoreChunk(s.at.row + s.at.col, chunk);
  s.at.col += static_cast<int>(Length(meta));
  const UINT index = static_cast<BYTE>(chunk);
  const NewEntry entry{s.prevMeta + 1,
                       s.prevChunk | static_cast<std::uint64_t>(index) << (8 * Length(s.prevMeta)),
                       index};
  s.prevMeta = meta;
  s.prevChunk = chunk;
  return entry;
}

// A known string of any length with room in the row, written back to front
// in whole chunks.
template <class Rows>
inline GifLzw::NewEntry GifLzw::WriteInRow(LoopState& s, Rows& rows, UINT code, std::uint32_t meta,
                                           std::uint64_t chunk) {
  BYTE* const out = s.at.row + s.at.col;
  if (Length(meta) <= 8)
    StoreChunk(out, chunk);
  else
    ExpandKnown(code, out);
  s.at.col += static_cast<int>(Length(meta));
  if (GIF_LZW_UNLIKELY(s.at.col >= rows.Width())) {
    s.at = rows.EndRow(s.at);
    s.fastCol = s.at.room - 9;
  }
  NewEntry entry;
  entry.index = First(meta);
  MakeEntry(s.prevMeta, s.prevChunk, s.oldCode, entry.index, s.freeCode, entry.meta, entry.chunk);
  s.prevMeta = meta;
  s.prevChunk = chunk;
  return entry;
}

// A clear code: the table and the width start over, and the code after it
// is a literal, whatever its value.
template <class Codes, class Rows>
inline void GifLzw::Restart(LoopState& s, Codes& codes, Rows& rows) {
  ForgetEntries(s.freeCode);
  s.codeSize = m_initCodeSize;
  s.growAt = 1u << s.codeSize;
  s.freeCode = m_firstFree;
  s.oldCode = NextCode(s, codes);
  s.finChar = s.oldCode & m_colorMask;
  s.prevMeta = m_meta[s.oldCode];
  s.prevChunk = m_chunk[s.oldCode];
  const BYTE literal = static_cast<BYTE>(s.finChar);
  Write(s, rows, &literal, 1);
}

// Every other code: a string crossing the row's end or without room, a code
// past the table, or a string not known (the step-by-step walk).
template <class Rows>
inline GifLzw::NewEntry GifLzw::WriteOther(LoopState& s, Rows& rows, UINT code, std::uint32_t meta,
                                           std::uint64_t chunk) {
  const bool prevKnown = Length(s.prevMeta) < kUnknown;
  // After a known string, the last first index is that string's.
  if (prevKnown) s.finChar = First(s.prevMeta);
  UINT base = code;
  UINT extra = 0;
  if (code >= s.freeCode && prevKnown) {
    // A code past the table stands for the previous string plus its first
    // index.
    base = s.oldCode;
    extra = 1;
  }
  const UINT baseLength = Length(m_meta[base]);
  if (baseLength < kUnknown) {
    const UINT total = baseLength + extra;
    const UINT rounded = (baseLength + 7) & ~7u;
    if (s.at.room - s.at.col >= static_cast<int>(rounded + extra)) {
      BYTE* const out = s.at.row + s.at.col;
      ExpandKnown(base, out);
      if (extra) out[baseLength] = static_cast<BYTE>(s.finChar);
      s.at.col += static_cast<int>(total);
      if (s.at.col >= rows.Width()) {
        s.at = rows.EndRow(s.at);
        s.fastCol = s.at.room - 9;
      }
    } else {
      ExpandKnown(base, m_stack);
      if (extra) m_stack[baseLength] = static_cast<BYTE>(s.finChar);
      Write(s, rows, m_stack, static_cast<int>(total));
    }
    s.finChar = First(m_meta[base]);
  } else {
    const Walk walk = ExpandExactly(code, s.freeCode, s.oldCode, s.finChar);
    s.finChar = walk.finChar;
    Write(s, rows, m_stack + kStackSize - walk.count, walk.count);
  }
  NewEntry entry;
  entry.index = s.finChar;
  MakeEntry(s.prevMeta, s.prevChunk, s.oldCode, entry.index, s.freeCode, entry.meta, entry.chunk);
  // A code just entered is the previous string of the next one.
  const bool justEntered = code == s.freeCode;
  s.prevMeta = justEntered ? entry.meta : meta;
  s.prevChunk = justEntered ? entry.chunk : chunk;
  return entry;
}

// Stores the new entry at the free code and grows the width when the free
// code reaches it. After the entry that fills the table one more code is
// decoded (into the spare entry); then false: nothing more is read.
inline bool GifLzw::Enter(LoopState& s, UINT code, const NewEntry& entry) {
  m_meta[s.freeCode] = entry.meta;
  m_chunk[s.freeCode] = entry.chunk;
  m_written[s.freeCode] = Written(s.oldCode, entry.index);
  s.oldCode = code;
  if (GIF_LZW_UNLIKELY(++s.freeCode >= s.growAt)) {
    if (s.freeCode > kTableSize) return false;
    if (s.codeSize < kMaxCodeSize) {
      ++s.codeSize;
      s.growAt = 1u << s.codeSize;
    } else {
      s.growAt = kTableSize + 1;
    }
  }
  return true;
}

#undef GIF_LZW_LIKELY
#undef GIF_LZW_UNLIKELY

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_GIFLZW_H
