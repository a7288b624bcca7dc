// Where the decoded colour indices go: the frame position (column, row and
// interlace pass) and its place in the result image, a run of indices at a
// time.
//
// Frame row r is stored in row imageHeight − 1 − r of the bottom-up block,
// so the frame lies against the left and bottom edges of the result. Indices
// that would land outside the result (a frame wider or higher than the
// logical screen) are dropped; the position still advances over them.
#include <algorithm>
#include <cstring>

#include "files/GifDecoder.h"
#include "image/DibLayout.h"
#include "image/Raster.h"

namespace zentrel::detail {

namespace {

// Interlace passes: first row and row step of each.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

}  // namespace

void GifDecoder::StartFrame() {
  m_nLineBytes = static_cast<std::size_t>(DibRowBytes(static_cast<UINT>(m_nScreenWidth), 8));
  m_nVisibleWidth = std::min(m_nImageWidth, m_nScreenWidth);
  m_nCol = m_nRow = m_nPass = 0;
  m_pRow = RowPointer(0);
}

BYTE* GifDecoder::RowPointer(int row) const {
  if (!m_pBits || row >= m_nImageHeight) return nullptr;
  const int stored = StoredRowOf(m_nImageHeight, row);
  if (stored >= m_nScreenHeight) return nullptr;
  return m_pBits + static_cast<std::size_t>(stored) * m_nLineBytes;
}

void GifDecoder::NextRow() {
  m_nCol = 0;
  if (!m_bInterlaced) {
    ++m_nRow;
  } else {
    // A pass whose rows are used up, or whose first row lies outside the
    // frame, gives way to the next; the last pass runs past the end.
    m_nRow += kPassStep[m_nPass];
    while (m_nRow >= m_nImageHeight && m_nPass < 3) {
      ++m_nPass;
      m_nRow = kPassStart[m_nPass];
    }
  }
  m_pRow = RowPointer(m_nRow);
}

// Places count indices from the frame position on, a row piece at a time;
// indices past the frame's last row are dropped.
void GifDecoder::EmitRun(const BYTE* indices, int count) {
  if (!m_pBits) return;
  while (count > 0 && m_nRow < m_nImageHeight) {
    // A frame of width 0 still takes one index per row, at column 0.
    const int room = std::max(m_nImageWidth - m_nCol, 1);
    const int take = std::min(count, room);
    if (m_pRow && m_nCol < m_nScreenWidth) {
      const int visible = std::min(take, m_nScreenWidth - m_nCol);
      std::memcpy(m_pRow + m_nCol, indices, static_cast<std::size_t>(visible));
    }
    m_nCol += take;
    indices += take;
    count -= take;
    if (m_nCol >= m_nImageWidth) NextRow();
  }
}

}  // namespace zentrel::detail
