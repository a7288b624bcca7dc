// Reading uncompressed 8-bit and 24-bit bottom-up BMP files into the record.
#include <cstring>

#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "image/DibBlock.h"
#include "platform/File.h"

namespace {

/// The files this reader takes: 8 or 24 bits per pixel, rows stored as
/// plain bytes, and an info header of at least the 40 bytes it decodes.
/// Compressed data is refused rather than shown as raw pixels, and a shorter
/// (older) header is refused rather than misread.
bool IsReadable(const BITMAPINFOHEADER& info) {
  return (info.biBitCount == 8 || info.biBitCount == 24) && info.biCompression == BI_RGB &&
         info.biSize >= kBmpInfoHeaderBytes;
}

}  // namespace

int CImageDataModel::ReadBMPImage(CString name) {
  CFile file;
  CFileException openError;
  if (!file.Open(name, CFile::modeRead | CFile::shareDenyWrite, &openError)) return 0;
  bool rowsPending = false;  // a new block whose rows are not yet filled
  UINT pixelBytes = 0;
  try {
    const std::uint64_t fileLength = file.GetLength();
    BYTE headers[kBmpHeadersBytes];
    if (file.Read(headers, kBmpFileHeaderBytes) < kBmpFileHeaderBytes || !IsBmpSignature(headers)) {
      file.Close();
      return 0;
    }
    if (file.Read(headers + kBmpFileHeaderBytes, kBmpInfoHeaderBytes) < kBmpInfoHeaderBytes) {
      file.Close();
      return 0;
    }
    const BITMAPFILEHEADER fileHeader = DecodeBmpFileHeader(headers);
    const BITMAPINFOHEADER info = DecodeBmpInfoHeader(headers + kBmpFileHeaderBytes);

    // The dimensions are about to describe another image: a block still held
    // (the caller skipped FreeImage) is released now, so that the record
    // never pairs it with dimensions it does not have, even when the file is
    // refused below.
    FreeImage();
    m_nWidth = static_cast<UINT>(info.biWidth);
    m_nHeight = static_cast<UINT>(info.biHeight);
    if (!IsReadable(info)) {
      file.Close();
      return 0;
    }
    m_rcRange = RECT{0, 0, static_cast<LONG>(m_nWidth - 1u), static_cast<LONG>(m_nHeight - 1u)};
    m_dScale = 1.0;
    // Refuses a width or height that is not positive (so also a top-down
    // file) and a block over the size limit before any memory is touched.
    // The rows are read from the file next (and what the file lacks is
    // zeroed then), so they are not zero-filled first.
    DibBlock block;
    if (!AllocateDib(m_nWidth, m_nHeight, info.biBitCount, DibRows::FilledByCaller, block)) {
      file.Close();
      return 0;
    }
    block.HandTo(m_hDIB, m_pBmh, m_pPalette, m_pBits);
    m_nLineBytes = block.rowBytes;
    pixelBytes = m_nLineBytes * m_nHeight;
    rowsPending = true;

    // The record's header describes the block it sits in: a 40-byte header
    // and a full colour table, whatever header size and table length the
    // file had. Every other field keeps the file's value.
    *m_pBmh = info;
    m_pBmh->biSize = kBmpInfoHeaderBytes;
    m_pBmh->biClrUsed = static_cast<DWORD>(GetImageColors());

    // Entries and rows the file does not hold are zero, as in a block made
    // by InitImage.
    const BmpDataPlacement placement = PlaceBmpData(fileHeader, info, fileLength);
    if (placement.tableEntries > 0) {
      file.Seek(static_cast<std::int64_t>(placement.tableOffset), CFile::begin);
      file.Read(m_pPalette, 4 * placement.tableEntries);
    }
    // One read of the whole pixel area, and never more: bytes after it in the
    // file are ignored.
    file.Seek(static_cast<std::int64_t>(placement.pixelOffset), CFile::begin);
    const UINT filled = file.Read(m_pBits, pixelBytes);
    std::memset(m_pBits + filled, 0, pixelBytes - filled + m_nLineBytes);
    rowsPending = false;
    file.Close();
    return 1;
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    // A file error leaves the image in the record; its rows are zeroed so
    // that no byte of the block is left undefined.
    if (rowsPending) std::memset(m_pBits, 0, pixelBytes + m_nLineBytes);
    return 0;
  }
}
