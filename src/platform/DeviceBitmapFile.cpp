// Saving what a device shows as an uncompressed 24-bit BMP file.
#include "ZentrelDevice.h"
#include "platform/Endian.h"
#include "platform/File.h"
#include "platform/Memory.h"

namespace {

constexpr UINT kFileHeaderBytes = 14;
constexpr UINT kInfoHeaderBytes = 40;

/// The file header and the bitmap header of a bottom-up 24-bit file, in the
/// little-endian order of the BMP format.
void WriteHeaders(BYTE* out, int width, int height, std::uint32_t imageBytes) {
  const std::uint32_t offset = kFileHeaderBytes + kInfoHeaderBytes;
  out[0] = 'B';
  out[1] = 'M';
  StoreLE32(out + 2, offset + imageBytes);
  StoreLE32(out + 6, 0);
  StoreLE32(out + 10, offset);
  BYTE* info = out + kFileHeaderBytes;
  StoreLE32(info, kInfoHeaderBytes);
  StoreLE32(info + 4, static_cast<std::uint32_t>(width));
  StoreLE32(info + 8, static_cast<std::uint32_t>(height));
  StoreLE16(info + 12, 1);   // planes
  StoreLE16(info + 14, 24);  // bits per pixel
  StoreLE32(info + 16, BI_RGB);
  StoreLE32(info + 20, imageBytes);
  for (int i = 24; i < 40; i += 4) StoreLE32(info + i, 0);  // resolution, colours
}

}  // namespace

BOOL CDC::SaveBitmap(CString path) const {
  if (!m_pPixels) return FALSE;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(m_nWidth) * 3 + 3) / 4 * 4;
  // The device holds below 2 GiB of 4-byte pixels, so the 3-byte rows fit 32 bits.
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(rowBytes * m_nHeight);
  ScratchBuffer row = AllocateZeroedScratch(rowBytes);
  if (!row) return FALSE;

  BYTE headers[kFileHeaderBytes + kInfoHeaderBytes];
  WriteHeaders(headers, m_nWidth, m_nHeight, imageBytes);
  CFile file;
  if (!file.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite))
    return FALSE;
  try {
    file.Write(headers, sizeof headers);
    // The file stores the bottom row first; padding bytes stay 0.
    for (int y = m_nHeight - 1; y >= 0; --y) {
      const std::uint32_t* in = m_pPixels + static_cast<std::size_t>(y) * m_nWidth;
      BYTE* out = row.get();
      for (int x = 0; x < m_nWidth; ++x, out += 3) {
        out[0] = static_cast<BYTE>(in[x]);
        out[1] = static_cast<BYTE>(in[x] >> 8);
        out[2] = static_cast<BYTE>(in[x] >> 16);
      }
      file.Write(row.get(), static_cast<UINT>(rowBytes));
    }
    file.Close();
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    return FALSE;
  }
  return TRUE;
}
