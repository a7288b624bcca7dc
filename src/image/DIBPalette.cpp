// The size check made after an image is installed, and the palette object
// built from an 8-bit image's colour table.
#include "ImageDataModel.h"
#include "image/ImageAccess.h"
#include "platform/Memory.h"
#include "platform/MessageBox.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr UINT kMaxMapSide = 10000;
constexpr WORD kPaletteVersion = 0x300;

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::InitDIBData() {
  // header-must-fit-block: a header that no longer fits the block makes the
  // record act as empty.
  const ImageAccess::Raster raster = ImageAccess::Checked(*this);
  if (raster.Empty()) return 0;
  if (m_nWidth > kMaxMapSide || m_nHeight > kMaxMapSide) {
    FreeImage();
    MessageBoxA(nullptr, "Map is too large", nullptr, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (raster.TrueColour()) {
    // palette-released-for-true-colour: a palette object made for an
    // earlier 8-bit image describes none of this image's colours, and
    // painting would select it.
    delete m_pDIBPalette;
    m_pDIBPalette = nullptr;
    return 1;
  }

  // A palette object made for an earlier image is replaced, not leaked.
  delete m_pDIBPalette;
  m_pDIBPalette = new (std::nothrow) CPalette();
  if (!m_pDIBPalette) return 0;
  return CreateDIBPalette();
}

int CImageDataModel::CreateDIBPalette() {
  if (!m_pDIBPalette) return 0;
  // Only a block made for 8 bits holds a table to read (header-must-fit-block).
  const ImageAccess::Raster raster = ImageAccess::Checked(*this);
  if (!raster.table) return 0;
  const int count = GetImageColors();
  if (count == 0) return 0;

  const std::size_t bytes = 8 + 4 * static_cast<std::size_t>(count);
  HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
  if (!handle) return 0;
  LOGPALETTE* logical = static_cast<LOGPALETTE*>(LocalLock(handle));
  if (!logical) {
    LocalFree(handle);
    return 0;
  }

  logical->palVersion = kPaletteVersion;
  logical->palNumEntries = static_cast<WORD>(count);
  PALETTEENTRY* entries = logical->palPalEntry;
  for (int i = 0; i < count; ++i) {
    entries[i].peRed = raster.table[i].rgbRed;
    entries[i].peGreen = raster.table[i].rgbGreen;
    entries[i].peBlue = raster.table[i].rgbBlue;
    entries[i].peFlags = 0;
  }

  int result = 0;
  HPALETTE palette = CreatePalette(logical);
  if (palette) {
    // A platform palette already held is released and replaced.
    m_pDIBPalette->DeleteObject();
    result = m_pDIBPalette->Attach(palette);
  }
  LocalUnlock(handle);
  LocalFree(handle);
  return result;
}
