// GifDecoder: the first frame's LZW data, taken from the sub-block chain by
// the code stream, decoded by GifLzw, and laid into the result rows by the
// frame output (GifOutput.cpp).
#include "files/GifCodeStream.h"
#include "files/GifDecoder.h"
#include "files/GifLzw.h"

namespace zentrel::detail {

// The row sink GifLzw writes to: the frame cursor of the decoder, whose rows
// lie in the result block.
class GifDecoder::FrameRows {
 public:
  explicit FrameRows(GifDecoder& decoder) : m_decoder(decoder) {}

  LzwRowCursor Cursor() const {
    BYTE* const row = m_decoder.m_pRow;
    return {row, m_decoder.m_nCol, row ? m_decoder.m_nVisibleWidth : 0};
  }
  LzwRowCursor Write(LzwRowCursor at, const BYTE* indices, int count) {
    m_decoder.m_nCol = at.col;
    m_decoder.EmitRun(indices, count);
    return Cursor();
  }
  LzwRowCursor EndRow(LzwRowCursor at) {
    m_decoder.m_nCol = at.col;
    m_decoder.NextRow();
    return Cursor();
  }
  void Stop(LzwRowCursor at) { m_decoder.m_nCol = at.col; }
  int Width() const { return m_decoder.m_nImageWidth; }

 private:
  GifDecoder& m_decoder;
};

namespace {

// The decoding loop built twice: with the BMI2 instructions where the
// processor has them (shifts by a register amount and masks of a given
// width in one instruction each), and without.
template <class Codes, class Rows>
__attribute__((target("bmi2"))) void RunWithBmi2(GifLzw& lzw, Codes& codes, Rows& rows) {
  lzw.Run(codes, rows);
}

template <class Codes, class Rows>
void RunPlain(GifLzw& lzw, Codes& codes, Rows& rows) {
  lzw.Run(codes, rows);
}

}  // namespace

void GifDecoder::RunDecodingLoop(UINT minCodeSize) {
  StartFrame();
  GifLzw lzw(minCodeSize, m_nColorMask);
  GifCodeStream codes(m_input, m_pData, m_nChunkSize, lzw.EndCode());
  FrameRows rows(*this);
  if (__builtin_cpu_supports("bmi2"))
    RunWithBmi2(lzw, codes, rows);
  else
    RunPlain(lzw, codes, rows);
}

}  // namespace zentrel::detail
