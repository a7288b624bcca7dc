// Allocation, ownership and release of packed DIB blocks.
#include "image/DibBlock.h"

#include <cstring>
#include <utility>

#include "image/DibLayout.h"
#include "platform/Memory.h"

namespace zentrel::detail {

DibBlock& DibBlock::operator=(DibBlock&& other) noexcept {
  if (this != &other) {
    Release();
    m_handle = std::exchange(other.m_handle, nullptr);
    m_header = std::exchange(other.m_header, nullptr);
    m_table = std::exchange(other.m_table, nullptr);
    m_bits = std::exchange(other.m_bits, nullptr);
    m_rowBytes = std::exchange(other.m_rowBytes, 0);
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
  }
  return *this;
}

DibBlock DibBlock::TakeFrom(HGLOBAL& handle, BITMAPINFOHEADER*& header, RGBQUAD*& table,
                            BYTE*& bits) {
  DibBlock block;
  if (!handle) return block;
  block.m_width = static_cast<UINT>(header->biWidth);
  block.m_height = static_cast<UINT>(header->biHeight);
  block.m_rowBytes = static_cast<UINT>(DibRowBytes(block.m_width, header->biBitCount));
  block.m_handle = std::exchange(handle, nullptr);
  block.m_header = std::exchange(header, nullptr);
  block.m_table = std::exchange(table, nullptr);
  block.m_bits = std::exchange(bits, nullptr);
  return block;
}

void DibBlock::HandTo(HGLOBAL& handle, BITMAPINFOHEADER*& header, RGBQUAD*& table, BYTE*& bits) {
  DibBlock given(std::move(*this));
  handle = std::exchange(given.m_handle, nullptr);
  header = given.m_header;
  table = given.m_table;
  bits = given.m_bits;
}

void DibBlock::Release() {
  ReleaseDib(m_handle, m_bits, m_table, m_header);
  m_header = nullptr;
  m_table = nullptr;
  m_bits = nullptr;
  m_rowBytes = 0;
  m_width = 0;
  m_height = 0;
}

bool AllocateDib(UINT width, UINT height, int bits, DibRows rows, DibBlock& block) {
  block.Release();
  if ((bits != 8 && bits != 24) || width == 0 || height == 0 || width > 0x7FFFFFFFu ||
      height > 0x7FFFFFFFu)
    return false;
  const DibLayout layout = MakeDibLayout(width, height, bits);
  if (!layout.Fits()) return false;
  // A reader that fills the rows itself is spared a zero-fill pass over the
  // largest part of the block.
  const UINT flags = rows == DibRows::Zeroed ? GMEM_MOVEABLE | GMEM_ZEROINIT : GMEM_MOVEABLE;
  HGLOBAL handle = GlobalAlloc(flags, static_cast<std::size_t>(layout.blockBytes));
  if (!handle) return false;
  BYTE* start = static_cast<BYTE*>(GlobalLock(handle));
  if (!start) {
    GlobalFree(handle);
    return false;
  }
  block.m_handle = handle;
  block.m_header = reinterpret_cast<BITMAPINFOHEADER*>(start);
  block.m_table = reinterpret_cast<RGBQUAD*>(start + kHeaderBytes);
  block.m_bits = start + kHeaderBytes + 4 * layout.tableEntries;
  block.m_rowBytes = static_cast<UINT>(layout.rowBytes);
  block.m_width = width;
  block.m_height = height;
  WriteDibHeader(block.m_header, width, height, bits, layout);
  if (rows == DibRows::FilledByCaller) std::memset(block.m_table, 0, 4 * layout.tableEntries);
  return true;
}

bool ReleaseDib(HGLOBAL& handle, BYTE*& bits, RGBQUAD*& table, BITMAPINFOHEADER*& header) {
  if (!handle) return false;
  GlobalUnlock(handle);
  GlobalFree(handle);
  handle = nullptr;
  bits = nullptr;
  table = nullptr;
  header = nullptr;
  return true;
}

}  // namespace zentrel::detail
