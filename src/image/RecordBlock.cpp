// Installing a block into the record and releasing it.
#include "image/RecordBlock.h"

namespace zentrel::detail {

void RecordBlock::Install(CImageDataModel& record, DibBlock block) {
  Release(record);
  const UINT width = block.Width();
  const UINT height = block.Height();
  record.m_nLineBytes = block.RowBytes();
  block.HandTo(record.m_hDIB, record.m_pBmh, record.m_pPalette, record.m_pBits);
  record.m_nWidth = width;
  record.m_nHeight = height;
  record.m_rcRange = RECT{0, 0, static_cast<LONG>(width - 1), static_cast<LONG>(height - 1)};
}

bool RecordBlock::Release(CImageDataModel& record) {
  return ReleaseDib(record.m_hDIB, record.m_pBits, record.m_pPalette, record.m_pBmh);
}

}  // namespace zentrel::detail
