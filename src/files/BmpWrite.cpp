// Saving the record as an uncompressed BMP file.
#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "files/ReplacingFile.h"
#include "image/Raster.h"

// bmp-save-in-place: a writable map in a folder that takes no new file is
// saved in place, as it was before saves went through a temporary file.
int CImageDataModel::SaveBMPImage(CString name) {
  return SaveBMPImage(name, ZENTREL_SAVE_IN_PLACE_FALLBACK);
}

int CImageDataModel::SaveBMPImage(CString name, DWORD flags) {
  // An empty record has no header to write: refused before any file is
  // created or truncated.
  if (!m_hDIB) return 0;
  // A failed save must not destroy the map it was to replace: the file is
  // written beside the target and put in its place only once complete.
  ReplacingFile target;
  if (!target.Open(name, (flags & ZENTREL_SAVE_IN_PLACE_FALLBACK) != 0)) return 0;

  // The colour table as the block holds it (GetImageColors() entries for an
  // intact header); taken from the layout so that a header edited through
  // GetBmh can never make the write reach past the block.
  const UINT tableBytes =
      static_cast<UINT>(zentrel::detail::TableEntries(m_pPalette, m_pBits) * sizeof(RGBQUAD));
  const UINT pixelBytes = m_nHeight * m_nLineBytes;
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = kBmpSignature;
  fileHeader.bfSize = kBmpHeadersBytes + tableBytes + pixelBytes;
  fileHeader.bfOffBits = kBmpHeadersBytes + tableBytes;

  // These three header fields follow the record; the rest are written as
  // the record holds them.
  m_pBmh->biWidth = static_cast<LONG>(m_nWidth);
  m_pBmh->biHeight = static_cast<LONG>(m_nHeight);
  m_pBmh->biSizeImage = pixelBytes;

  // Headers and colour table in one write, the pixel rows in another.
  BYTE head[kBmpHeadersBytes + 4 * 256];
  EncodeBmpFileHeader(fileHeader, head);
  EncodeBmpInfoHeader(*m_pBmh, head + kBmpFileHeaderBytes);
  const BYTE* table = reinterpret_cast<const BYTE*>(m_pPalette);
  for (UINT i = 0; i < tableBytes; ++i) head[kBmpHeadersBytes + i] = table[i];
  try {
    target.File().Write(head, kBmpHeadersBytes + tableBytes);
    target.File().Write(m_pBits, pixelBytes);
    target.Commit();
    return 1;
  } catch (CFileException* error) {
    error->Delete();
    target.Abandon();
    return 0;
  }
}
