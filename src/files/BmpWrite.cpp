// Saving the record as an uncompressed BMP file.
#include <cstdint>

#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "files/ReplacingFile.h"
#include "image/DibLayout.h"
#include "image/Raster.h"
#include "platform/Memory.h"

using namespace zentrel::detail;

// bmp-save-in-place: a writable map in a folder that takes no new file is
// saved in place, as it was before saves went through a temporary file.
int CImageDataModel::SaveBMPImage(CString name) {
  return SaveBMPImage(name, ZENTREL_SAVE_IN_PLACE_FALLBACK);
}

int CImageDataModel::SaveBMPImage(CString name, DWORD flags) {
  // An empty record has no header to write: refused before any file is
  // created or truncated.
  if (!m_hDIB) return 0;
  // The colour table as the block holds it (GetImageColors() entries for an
  // intact header); taken from the layout so that a header edited through
  // GetBmh can never make the write reach past the block.
  const BYTE* start = reinterpret_cast<const BYTE*>(m_pBmh);
  const std::uint64_t tableBytes =
      std::uint64_t{TableEntries(m_pPalette, m_pBits)} * sizeof(RGBQUAD);
  // size-products-64bit: the rows' size is computed in 64 bits and must lie
  // in the block, so that size fields that no longer match the block (a
  // derived class may write them) are refused before any file is touched,
  // rather than written with a wrapped size or read from past the block.
  const std::uint64_t pixelBytes = DibPixelBytes(m_nLineBytes, m_nHeight);
  if (pixelBytes > GlobalSize(m_hDIB) - static_cast<std::size_t>(m_pBits - start)) return 0;
  // bmp-save-replace: a failed save must not destroy the map it was to
  // replace, so the file is written beside the target and put in its place
  // only once complete (in place only under bmp-save-in-place).
  ReplacingFile target;
  if (!target.Open(name, (flags & ZENTREL_SAVE_IN_PLACE_FALLBACK) != 0)) return 0;

  // Every size below lies in the block, so below kMaxBlockBytes.
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = kBmpSignature;
  fileHeader.bfSize = static_cast<DWORD>(kBmpHeadersBytes + tableBytes + pixelBytes);
  fileHeader.bfOffBits = static_cast<DWORD>(kBmpHeadersBytes + tableBytes);

  // These three header fields follow the record; the rest are written as
  // the record holds them.
  m_pBmh->biWidth = static_cast<LONG>(m_nWidth);
  m_pBmh->biHeight = static_cast<LONG>(m_nHeight);
  m_pBmh->biSizeImage = static_cast<DWORD>(pixelBytes);

  // Headers and colour table in one write, the pixel rows in another.
  BYTE head[kBmpHeadersBytes + 4 * 256];
  EncodeBmpFileHeader(fileHeader, head);
  EncodeBmpInfoHeader(*m_pBmh, head + kBmpFileHeaderBytes);
  const BYTE* table = reinterpret_cast<const BYTE*>(m_pPalette);
  for (std::uint64_t i = 0; i < tableBytes; ++i) head[kBmpHeadersBytes + i] = table[i];
  try {
    target.File().Write(head, static_cast<UINT>(kBmpHeadersBytes + tableBytes));
    target.File().Write(m_pBits, static_cast<UINT>(pixelBytes));
    target.Commit();
    return 1;
  } catch (CFileException* error) {
    error->Delete();
    target.Abandon();
    return 0;
  }
}
