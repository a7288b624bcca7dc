// Left90 and Right90: quarter turns that swap width and height. The turned
// rows go into the image's own block when they fit there (square images are
// turned in place), and straight into a new, larger block otherwise.
#include <cstring>
#include <utility>

#include "ImageDataModel.h"
#include "image/DibBlock.h"
#include "image/DibLayout.h"
#include "image/Raster.h"
#include "image/RecordBlock.h"
#include "platform/Memory.h"
#include "transform/RowKernels.h"
#include "transform/TurnKernels.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

/// The storage fields of a record that a quarter turn rewrites.
struct TurnedRecord {
  CImageDataModel& image;
  HGLOBAL& block;
  BITMAPINFOHEADER*& header;
  RGBQUAD*& palette;
  BYTE*& bits;
  UINT& width;
  UINT& height;
  UINT& lineBytes;
  RECT& range;
};

/// Turns the rows within the same block: a square image in place, any other
/// through a scratch buffer. turn-clears-tail: the row padding ends up zero;
/// so does the rest of the block (what is left of the old rows), so that no
/// old pixel bytes stay behind and the spare row stays zero.
bool TurnWithinBlock(const Raster& rows, std::size_t newLine, Turn turn) {
  const std::size_t newArea = newLine * rows.width;
  if (rows.width == rows.height) {
    TurnSquareInPlace(rows.bits, rows.lineBytes, rows.width, rows.pixelBytes, turn);
  } else {
    ScratchBuffer scratch = AllocateScratch(newArea);
    if (!scratch) return false;
    TurnPixels(rows.bits, rows.lineBytes, rows.width, rows.height, rows.pixelBytes, scratch.get(),
               newLine, turn);
    std::memcpy(rows.bits, scratch.get(), newArea);
  }
  ZeroRowPadding(rows.bits, newLine, rows.width,
                 static_cast<std::size_t>(rows.height) * rows.pixelBytes);
  std::memset(rows.bits + newArea, 0, rows.areaBytes - newArea);
  return true;
}

/// Decision: when the turned rows do not fit the block (an 8-bit image such
/// as 4 × 2 or 640 × 482), a new zero-filled block is made with the same
/// header and colour table and room for the turned rows and a spare row; the
/// rows are turned straight into it and the old block is released. Nothing
/// is ever written beyond a block.
bool TurnIntoNewBlock(const TurnedRecord& record, const Raster& rows, std::size_t newLine,
                      Turn turn) {
  DibBlock turned;
  if (!AllocateDib(rows.height, rows.width, static_cast<int>(rows.pixelBytes * 8), DibRows::Zeroed,
                   turned))
    return false;
  // The header and colour table are copied from the old block. Both blocks
  // are laid out for the header's depth; the check keeps the copy inside
  // both even for a block that is not.
  BYTE* oldStart = reinterpret_cast<BYTE*>(record.header);
  BYTE* newStart = reinterpret_cast<BYTE*>(turned.Header());
  const std::size_t prefix = static_cast<std::size_t>(rows.bits - oldStart);
  if (prefix != static_cast<std::size_t>(turned.Bits() - newStart) || turned.RowBytes() != newLine)
    return false;
  std::memcpy(newStart, oldStart, prefix);
  // The new block is zero-filled and only pixel bytes are written: the
  // padding and the spare row stay zero (turn-clears-tail).
  TurnPixels(rows.bits, rows.lineBytes, rows.width, rows.height, rows.pixelBytes, turned.Bits(),
             newLine, turn);
  RecordBlock::Install(record.image, std::move(turned));
  return true;
}

int QuarterTurn(const TurnedRecord& record, Turn turn) {
  const Raster rows = CheckedRaster(record.block, record.header, record.palette, record.bits,
                                    record.width, record.height, record.lineBytes);
  if (rows.Empty()) return 0;
  const std::uint64_t newLine = DibRowBytes(rows.height, rows.pixelBytes * 8);
  const std::uint64_t newArea = newLine * rows.width;
  const bool turned = newArea <= rows.areaBytes
                          ? TurnWithinBlock(rows, static_cast<std::size_t>(newLine), turn)
                          : TurnIntoNewBlock(record, rows, static_cast<std::size_t>(newLine), turn);
  if (!turned) return 0;

  // Width and height change places; every other header field, biSizeImage
  // included, keeps its value.
  record.width = rows.height;
  record.height = rows.width;
  record.header->biWidth = static_cast<LONG>(record.width);
  record.header->biHeight = static_cast<LONG>(record.height);
  record.range =
      RECT{0, 0, static_cast<LONG>(record.width - 1), static_cast<LONG>(record.height - 1)};
  record.lineBytes = static_cast<UINT>(newLine);
  return 1;
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::Left90() {
  return QuarterTurn(
      {*this, m_hDIB, m_pBmh, m_pPalette, m_pBits, m_nWidth, m_nHeight, m_nLineBytes, m_rcRange},
      Turn::kLeft);
}

int CImageDataModel::Right90() {
  return QuarterTurn(
      {*this, m_hDIB, m_pBmh, m_pPalette, m_pBits, m_nWidth, m_nHeight, m_nLineBytes, m_rcRange},
      Turn::kRight);
}
