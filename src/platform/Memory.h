// Movable memory blocks: zero-filled blocks whose address stays fixed while
// they are held, null on failure, never an exception.
//
// Every allocation of the library, blocks and scratch buffers alike, goes
// through the nothrow form of operator new, so a host (or a test) that
// replaces that operator sees and can refuse each of them.
#ifndef ZENTREL_PLATFORM_MEMORY_H
#define ZENTREL_PLATFORM_MEMORY_H

#include <cstddef>
#include <memory>
#include <new>

#include "ZentrelPlatform.h"

#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040

/// Allocates a block of bytes (zero-filled with GMEM_ZEROINIT). Null when the
/// memory is not available or bytes is 0.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
/// The block's address, or null for a null handle. Stays valid until the
/// matching GlobalUnlock (in practice, until GlobalFree).
void* GlobalLock(HGLOBAL block);
/// Releases one lock; returns 1 while the block is still locked, else 0.
BOOL GlobalUnlock(HGLOBAL block);
/// Releases the block; returns null.
HGLOBAL GlobalFree(HGLOBAL block);
/// The block's size in bytes, 0 for null.
std::size_t GlobalSize(HGLOBAL block);

HLOCAL LocalAlloc(UINT flags, std::size_t bytes);
void* LocalLock(HLOCAL block);
BOOL LocalUnlock(HLOCAL block);
HLOCAL LocalFree(HLOCAL block);

/// A scratch buffer owned by one call: null when the bytes are not available.
struct ScratchDeleter {
  void operator()(BYTE* p) const { ::operator delete[](p, std::nothrow); }
};
using ScratchBuffer = std::unique_ptr<BYTE[], ScratchDeleter>;

/// Allocates an uninitialised scratch buffer, or returns null.
ScratchBuffer AllocateScratch(std::size_t bytes);
/// Allocates a zero-filled scratch buffer, or returns null.
ScratchBuffer AllocateZeroedScratch(std::size_t bytes);

#endif  // ZENTREL_PLATFORM_MEMORY_H
