// Reading uncompressed 8-bit and 24-bit bottom-up BMP files into the record.
#include <cstring>
#include <utility>

#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "files/CloseReadFile.h"
#include "files/ReadLimit.h"
#include "image/DibBlock.h"
#include "image/DibLayout.h"
#include "image/RecordBlock.h"
#include "platform/File.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

/// The files this reader takes: 8 or 24 bits per pixel, rows stored as
/// plain bytes, and an info header of at least the 40 bytes it decodes.
/// bmp-plain-rows-only: compressed data (RLE, bit fields, an embedded JPEG
/// or PNG) is refused rather than shown as raw pixels, and a shorter (OS/2)
/// header is refused rather than misread.
bool IsReadable(const BITMAPINFOHEADER& info) {
  return (info.biBitCount == 8 || info.biBitCount == 24) && info.biCompression == BI_RGB &&
         info.biSize >= kBmpInfoHeaderBytes;
}

/// The note for a file IsReadable refuses: its first broken rule.
int RefusalNote(const BITMAPINFOHEADER& info) {
  if (info.biSize < kBmpInfoHeaderBytes) return ZENTREL_NOTE_UNSUPPORTED_LAYOUT;
  if (info.biBitCount != 8 && info.biBitCount != 24) return ZENTREL_NOTE_UNSUPPORTED_DEPTH;
  return ZENTREL_NOTE_COMPRESSED;
}

/// The note for dimensions the block cannot take: a top-down file, a size
/// that is no size, or one over the limit.
int SizeNote(const BITMAPINFOHEADER& info) {
  if (info.biHeight < 0 && info.biWidth > 0) return ZENTREL_NOTE_UNSUPPORTED_LAYOUT;
  if (info.biHeight <= 0 || info.biWidth <= 0) return ZENTREL_NOTE_DAMAGED_HEADER;
  return ZENTREL_NOTE_TOO_LARGE;
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::ReadBMPImage(CString name) {
  m_nReadNote = ZENTREL_NOTE_CANNOT_OPEN;
  m_nTransparentIndex = -1;
  m_nFileColors = 0;
  CFile file;
  CFileException openError;
  if (!file.Open(name, CFile::modeRead | CFile::shareDenyWrite, &openError)) return 0;
  m_nReadNote = ZENTREL_NOTE_DAMAGED_HEADER;
  bool rowsPending = false;  // a new block whose rows are not yet filled
  std::uint64_t pixelBytes = 0;
  try {
    const std::uint64_t fileLength = file.GetLength();
    BYTE headers[kBmpHeadersBytes] = {};
    if (file.Read(headers, kBmpFileHeaderBytes) < kBmpFileHeaderBytes || !IsBmpSignature(headers)) {
      if (!IsBmpSignature(headers)) m_nReadNote = ZENTREL_NOTE_NOT_RECOGNISED;
      CloseReadFile(file);
      return 0;
    }
    if (file.Read(headers + kBmpFileHeaderBytes, kBmpInfoHeaderBytes) < kBmpInfoHeaderBytes) {
      CloseReadFile(file);
      return 0;
    }
    const BITMAPFILEHEADER fileHeader = DecodeBmpFileHeader(headers);
    const BITMAPINFOHEADER info = DecodeBmpInfoHeader(headers + kBmpFileHeaderBytes);

    // read-releases-held: the dimensions are about to describe another
    // image, so a block still held (the caller skipped FreeImage) is
    // released now, not lost, and never paired with dimensions it does not
    // have, even when the file is refused below.
    FreeImage();
    m_nWidth = static_cast<UINT>(info.biWidth);
    m_nHeight = static_cast<UINT>(info.biHeight);
    if (!IsReadable(info)) {
      m_nReadNote = RefusalNote(info);
      CloseReadFile(file);
      return 0;
    }
    m_rcRange = RECT{0, 0, static_cast<LONG>(m_nWidth - 1u), static_cast<LONG>(m_nHeight - 1u)};
    m_dScale = 1.0;
    // Refuses a width or height that is not positive (so also a top-down
    // file) and a block over the size limit before any memory is touched.
    // The rows are read from the file next (and what the file lacks is
    // zeroed then), so they are not zero-filled first.
    DibBlock block;
    if (info.biWidth <= 0 || info.biHeight <= 0 ||
        ExceedsReadLimit(m_nWidth, m_nHeight, info.biBitCount, m_nReadLimit)) {
      m_nReadNote = SizeNote(info);
      CloseReadFile(file);
      return 0;
    }
    if (!AllocateDib(m_nWidth, m_nHeight, info.biBitCount, DibRows::FilledByCaller, block)) {
      m_nReadNote = ZENTREL_NOTE_NO_MEMORY;
      CloseReadFile(file);
      return 0;
    }
    RecordBlock::Install(*this, std::move(block));
    // size-products-64bit: the pixel area in 64 bits (it lies in the block
    // just made, so it also fits the 32-bit counts below).
    pixelBytes = DibPixelBytes(m_nLineBytes, m_nHeight);
    rowsPending = true;

    // bmp-record-header: the record's header describes the block it sits
    // in, a 40-byte header and a full colour table, whatever header size and
    // table length the file had. Every other field keeps the file's value.
    *m_pBmh = info;
    m_pBmh->biSize = kBmpInfoHeaderBytes;
    m_pBmh->biClrUsed = static_cast<DWORD>(GetImageColors());

    // bmp-table-by-header: the table and the rows lie where the file's
    // headers put them (PlaceBmpData). Entries and rows the file does not
    // hold are zero, as in a block made by InitImage.
    const BmpDataPlacement placement = PlaceBmpData(fileHeader, info, fileLength);
    if (placement.tableEntries > 0) {
      file.Seek(static_cast<std::int64_t>(placement.tableOffset), CFile::begin);
      file.Read(m_pPalette, 4 * placement.tableEntries);
    }
    // bmp-extra-bytes-ignored: one read of the whole pixel area, and never
    // more; bytes after it in the file are ignored and the spare row stays
    // zero.
    file.Seek(static_cast<std::int64_t>(placement.pixelOffset), CFile::begin);
    const UINT filled = file.Read(m_pBits, static_cast<UINT>(pixelBytes));
    std::memset(m_pBits + filled, 0, static_cast<std::size_t>(pixelBytes - filled + m_nLineBytes));
    rowsPending = false;
    m_nFileColors = static_cast<int>(placement.tableEntries);
    // The last row's padding may be missing without any pixel being lost.
    const std::uint64_t lastRowData = (std::uint64_t{m_nWidth} * info.biBitCount + 7) / 8;
    m_nReadNote = filled < pixelBytes - m_nLineBytes + lastRowData ? ZENTREL_NOTE_TRUNCATED
                                                                   : ZENTREL_NOTE_NONE;
    CloseReadFile(file);
    return 1;
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    m_nReadNote = ZENTREL_NOTE_READ_ERROR;
    // bmp-failed-read-cleared: a file error leaves the image in the record;
    // its rows (the spare one too) are zeroed, so that they hold no rows
    // read in part and no undefined byte.
    if (rowsPending) std::memset(m_pBits, 0, static_cast<std::size_t>(pixelBytes + m_nLineBytes));
    return 0;
  }
}
