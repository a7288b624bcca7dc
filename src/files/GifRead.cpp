// CImageDataModel::ReadGIFImage: decodes the first image of a GIF file and
// installs the decoder's block in the record.
#include "ImageDataModel.h"
#include "files/GifDecoder.h"
#include "image/DibLayout.h"

int CImageDataModel::ReadGIFImage(CString name) { return ReadGIFImage(name, 0); }

int CImageDataModel::ReadGIFImage(CString name, DWORD flags) {
  GifDecoder decoder(name, flags & ZENTREL_READ_GIF_EXTENSIONS, m_nReadLimit);
  const int decoded = decoder.Decode();
  m_nReadNote = decoder.Note();
  m_nTransparentIndex = decoded ? decoder.TransparentIndex() : -1;
  m_nFileColors = decoded ? decoder.FileColors() : 0;
  if (!decoded) return 0;  // the decoder releases what it allocated
  // A block still held is released rather than leaked, as InitImage does.
  FreeImage();
  decoder.HandBlockTo(m_hDIB, m_pBmh, m_pPalette, m_pBits);
  m_nWidth = static_cast<UINT>(m_pBmh->biWidth);
  m_nHeight = static_cast<UINT>(m_pBmh->biHeight);
  m_rcRange = RECT{0, 0, m_pBmh->biWidth - 1, m_pBmh->biHeight - 1};
  m_dScale = 1.0;
  m_nLineBytes = static_cast<UINT>(DibRowBytes(m_nWidth, static_cast<UINT>(GetColorPixel())));
  return 1;
}
