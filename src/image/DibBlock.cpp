// Allocation and release of packed DIB blocks.
#include "image/DibBlock.h"

#include <cstring>

#include "image/DibLayout.h"
#include "platform/Memory.h"

bool AllocateDib(UINT width, UINT height, int bits, DibRows rows, DibBlock& block) {
  block = DibBlock();
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
  block.handle = handle;
  block.header = reinterpret_cast<BITMAPINFOHEADER*>(start);
  block.table = reinterpret_cast<RGBQUAD*>(start + kHeaderBytes);
  block.bits = start + kHeaderBytes + 4 * layout.tableEntries;
  block.rowBytes = static_cast<UINT>(layout.rowBytes);
  WriteDibHeader(block.header, width, height, bits, layout);
  if (rows == DibRows::FilledByCaller) std::memset(block.table, 0, 4 * layout.tableEntries);
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
