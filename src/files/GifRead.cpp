// CImageDataModel::ReadGIFImage: decodes the first image of a GIF file and
// installs the decoder's block in the record.
#include "ImageDataModel.h"
#include "files/GifDecoder.h"
#include "image/RecordBlock.h"

using namespace zentrel::detail;

int CImageDataModel::ReadGIFImage(CString name) { return ReadGIFImage(name, 0); }

int CImageDataModel::ReadGIFImage(CString name, DWORD flags) {
  GifDecoder decoder(name, flags & ZENTREL_READ_GIF_EXTENSIONS, m_nReadLimit);
  const int decoded = decoder.Decode();
  m_nReadNote = decoder.Note();
  m_nTransparentIndex = decoded ? decoder.TransparentIndex() : -1;
  m_nFileColors = decoded ? decoder.FileColors() : 0;
  if (!decoded) return 0;  // the decoder releases what it allocated
  // The record takes the decoder's block; read-releases-held: one it still
  // holds is released, not lost. A refused file leaves it held.
  HGLOBAL dib = nullptr;
  BITMAPINFOHEADER* header = nullptr;
  RGBQUAD* table = nullptr;
  BYTE* bits = nullptr;
  decoder.HandBlockTo(dib, header, table, bits);
  RecordBlock::Install(*this, DibBlock::TakeFrom(dib, header, table, bits));
  m_dScale = 1.0;
  return 1;
}
