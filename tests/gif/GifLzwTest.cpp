// The LZW decoder on raw code streams, apart from any file framing: the
// indices each stream gives and the code widths it is read with, written
// into wide rows (strings land in the row directly) and into rows of three
// (strings cross row ends and go through the general output).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "files/GifLzw.h"

using zentrel::detail::GifLzw;
using zentrel::detail::LzwFetch;
using zentrel::detail::LzwRowCursor;

namespace {

using Indices = std::vector<BYTE>;

// A code source handing out a list of codes, then the end code; it keeps
// the width each code was asked for.
class CodeList {
 public:
  CodeList(std::vector<UINT> codes, UINT endCode) : m_codes(std::move(codes)), m_end(endCode) {}
  const BYTE* Data() const { return nullptr; }
  LzwFetch Take(UINT bitPos, int width) {
    m_widths.push_back(width);
    const UINT code = m_next < m_codes.size() ? m_codes[m_next++] : m_end;
    EXPECT_LT(code, 1u << width) << "code " << m_next << " does not fit its width";
    return {code, bitPos + static_cast<UINT>(width), 0};
  }
  const std::vector<int>& Widths() const { return m_widths; }
  std::size_t Taken() const { return m_next; }

 private:
  std::vector<UINT> m_codes;
  UINT m_end;
  std::size_t m_next = 0;
  std::vector<int> m_widths;
};

// Rows of a fixed width one after another; every column may be written
// directly.
class FlatRows {
 public:
  FlatRows(int width, int rows)
      : m_width(width), m_rows(rows), m_pixels(static_cast<std::size_t>(width) * rows) {}
  LzwRowCursor Cursor() {
    if (m_row >= m_rows) return {nullptr, m_col, 0};
    return {m_pixels.data() + static_cast<std::size_t>(m_row) * m_width, m_col, m_width};
  }
  LzwRowCursor Write(LzwRowCursor at, const BYTE* indices, int count) {
    m_col = at.col;
    for (int i = 0; i < count && m_row < m_rows; ++i) {
      m_pixels[static_cast<std::size_t>(m_row) * m_width + m_col] = indices[i];
      if (++m_col >= m_width) NextRow();
    }
    return Cursor();
  }
  LzwRowCursor EndRow(LzwRowCursor at) {
    m_col = at.col;
    NextRow();
    return Cursor();
  }
  void Stop(LzwRowCursor at) { m_col = at.col; }
  int Width() const { return m_width; }
  // The indices written so far, in order.
  Indices Written() const {
    Indices out(m_pixels.begin(), m_pixels.begin() + static_cast<std::ptrdiff_t>(m_row) * m_width);
    if (m_row < m_rows)
      out.insert(out.end(), m_pixels.begin() + out.size(), m_pixels.begin() + out.size() + m_col);
    return out;
  }

 private:
  void NextRow() {
    m_col = 0;
    ++m_row;
  }
  int m_width;
  int m_rows;
  int m_row = 0;
  int m_col = 0;
  Indices m_pixels;
};

struct Decoded {
  Indices indices;
  std::vector<int> widths;
  std::size_t taken = 0;
};

Decoded Decode(UINT minCodeSize, UINT colorMask, const std::vector<UINT>& codes, int rowWidth) {
  auto lzw = std::make_unique<GifLzw>(minCodeSize, colorMask);  // about 80 KB
  CodeList source(codes, lzw->EndCode());
  FlatRows rows(rowWidth, 12000 / rowWidth + 1);
  lzw->Run(source, rows);
  return {rows.Written(), source.Widths(), source.Taken()};
}

Indices Repeat(std::size_t count, BYTE value) { return Indices(count, value); }
Indices Join(std::initializer_list<Indices> parts) {
  Indices out;
  for (const Indices& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Minimum code size 2: literals 0–3, clear 4, end 5, first free code 6.
TEST(GifLzw, CodeStreamsGiveTheirIndicesAtEveryRowWidth) {
  struct Case {
    const char* name;
    UINT colorMask;
    std::vector<UINT> codes;
    Indices want;
    std::vector<int> widths;  // empty: not checked
  };
  const Case cases[] = {
      {"a code that refers to itself: 6 is 1 1 before it is entered",
       3,
       {4, 1, 6, 2, 5},
       {1, 1, 1, 2},
       {3, 3, 3, 3, 4}},
      {"self-references in a row grow the string by one each",
       3,
       {4, 0, 6, 7, 8, 5},
       Repeat(10, 0),
       {3, 3, 3, 3, 4, 4}},
      {"the width grows when the free code reaches 8, and a clear resets it; "
       "the code after a clear is a literal, masked",
       3,
       {4, 1, 1, 1, 1, 4, 6, 2, 5},
       {1, 1, 1, 1, 2, 2},
       {3, 3, 3, 3, 4, 4, 3, 3, 3}},
      {"a code past the table is the previous string plus its first index; one that "
       "refers to itself through garbled entries stops after 4096 steps",
       3,
       {4, 1, 7, 6, 7, 5},
       Join({{1, 1, 1, 1, 1, 3}, Repeat(4096, 1)}),
       {3, 3, 3, 3, 4, 4}},
      {"codes between the colour count and the clear code give two zeros",
       1,
       {4, 1, 3, 6, 5},
       {1, 0, 0, 1, 0},
       {}},
      {"without a clear first, the previous string is index 0's", 3, {1, 6, 5}, {1, 0, 1}, {}},
  };
  for (const Case& c : cases) {
    for (int rowWidth : {1000, 3}) {
      const Decoded got = Decode(2, c.colorMask, c.codes, rowWidth);
      EXPECT_EQ(got.indices, c.want) << c.name << ", rows of " << rowWidth;
      if (!c.widths.empty()) {
        EXPECT_EQ(got.widths, c.widths) << c.name;
      }
    }
  }
}

// Minimum code size 8: clear 256, end 257, entries 258–4095 (3838), so the
// table fills after the literal that follows the clear and 3838 more codes.
TEST(GifLzw, FullTableStopsAfterOneMoreCodeUnlessAClearFollows) {
  std::vector<UINT> fill = {256};
  for (UINT i = 0; i < 1 + 3838; ++i) fill.push_back((i * 7) % 256);
  Indices filled;
  for (std::size_t i = 1; i < fill.size(); ++i) filled.push_back(static_cast<BYTE>(fill[i]));

  struct Case {
    const char* name;
    std::vector<UINT> after;
    Indices wantAfter;
    std::size_t taken;  // codes read from the list
  };
  const Case cases[] = {
      {"the code after the full table is decoded, then nothing more is read",
       {9, 10, 11, 257},
       {9},
       fill.size() + 1},
      {"a clear after the full table starts over", {256, 3, 258, 257}, {3, 3, 3}, fill.size() + 4},
  };
  for (const Case& c : cases) {
    std::vector<UINT> codes = fill;
    codes.insert(codes.end(), c.after.begin(), c.after.end());
    for (int rowWidth : {1000, 3}) {
      const Decoded got = Decode(8, 255, codes, rowWidth);
      EXPECT_EQ(got.indices, Join({filled, c.wantAfter})) << c.name << ", rows of " << rowWidth;
      EXPECT_EQ(got.taken, c.taken) << c.name;
      std::map<int, int> perWidth;
      for (std::size_t i = 0; i < fill.size() + 1; ++i) ++perWidth[got.widths[i]];
      // Widths 9 to 12 while the table fills, 12 for the code after it.
      EXPECT_EQ(perWidth, (std::map<int, int>{{9, 256}, {10, 512}, {11, 1024}, {12, 2049}}))
          << c.name;
    }
  }
}

}  // namespace
