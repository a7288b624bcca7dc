// Movable memory blocks and scratch buffers over the nothrow operator new.
#include "platform/Memory.h"

#include <cstring>
#include <limits>

namespace {

// The bookkeeping in front of each block; 16 bytes keep the data aligned.
struct alignas(16) BlockHeader {
  std::size_t bytes;
  unsigned locks;
};

BlockHeader* HeaderOf(void* handle) { return static_cast<BlockHeader*>(handle); }
BYTE* DataOf(BlockHeader* header) { return reinterpret_cast<BYTE*>(header + 1); }

void* AllocateBlock(UINT flags, std::size_t bytes) {
  if (bytes == 0 || bytes > std::numeric_limits<std::size_t>::max() - sizeof(BlockHeader))
    return nullptr;
  void* raw = ::operator new[](sizeof(BlockHeader) + bytes, std::nothrow);
  if (!raw) return nullptr;
  BlockHeader* header = new (raw) BlockHeader{bytes, 0};
  if (flags & GMEM_ZEROINIT) std::memset(DataOf(header), 0, bytes);
  return header;
}

void* LockBlock(void* handle) {
  if (!handle) return nullptr;
  BlockHeader* header = HeaderOf(handle);
  ++header->locks;
  return DataOf(header);
}

BOOL UnlockBlock(void* handle) {
  if (!handle) return FALSE;
  BlockHeader* header = HeaderOf(handle);
  if (header->locks > 0) --header->locks;
  return header->locks > 0 ? TRUE : FALSE;
}

void FreeBlock(void* handle) {
  if (handle) ::operator delete[](handle, std::nothrow);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) { return AllocateBlock(flags, bytes); }
void* GlobalLock(HGLOBAL block) { return LockBlock(block); }
BOOL GlobalUnlock(HGLOBAL block) { return UnlockBlock(block); }
HGLOBAL GlobalFree(HGLOBAL block) {
  FreeBlock(block);
  return nullptr;
}
std::size_t GlobalSize(HGLOBAL block) { return block ? HeaderOf(block)->bytes : 0; }

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) { return AllocateBlock(flags, bytes); }
void* LocalLock(HLOCAL block) { return LockBlock(block); }
BOOL LocalUnlock(HLOCAL block) { return UnlockBlock(block); }
HLOCAL LocalFree(HLOCAL block) {
  FreeBlock(block);
  return nullptr;
}

ScratchBuffer AllocateScratch(std::size_t bytes) {
  return ScratchBuffer(static_cast<BYTE*>(::operator new[](bytes ? bytes : 1, std::nothrow)));
}

ScratchBuffer AllocateZeroedScratch(std::size_t bytes) {
  ScratchBuffer buffer = AllocateScratch(bytes);
  if (buffer && bytes) std::memset(buffer.get(), 0, bytes);
  return buffer;
}
