// Allocation and release of a packed DIB block, shared by the record and by
// the file readers that build a block before handing it to the record.
#ifndef ZENTREL_IMAGE_DIBBLOCK_H
#define ZENTREL_IMAGE_DIBBLOCK_H

#include "ZentrelPlatform.h"

/// A locked block and the addresses of its parts.
struct DibBlock {
  HGLOBAL handle = nullptr;
  BITMAPINFOHEADER* header = nullptr;
  RGBQUAD* table = nullptr;
  BYTE* bits = nullptr;
  UINT rowBytes = 0;

  /// Gives the block's addresses to the members of the one who keeps it.
  void HandTo(HGLOBAL& dib, BITMAPINFOHEADER*& bmh, RGBQUAD*& palette, BYTE*& pixels) const {
    dib = handle;
    bmh = header;
    palette = table;
    pixels = bits;
  }
};

/// Whether a new block's pixel rows and spare row are zero-filled, or left
/// for a caller that fills every byte of them itself.
enum class DibRows { Zeroed, FilledByCaller };

/// Allocates, locks and heads a block for a width × height image at 8 or 24
/// bits: the header as a fresh image has it, the colour table all zero.
/// Refuses (returns false, allocating nothing) other depths, a width or
/// height below 1 or above 2^31 − 1, a block over the size limit, and a
/// block that cannot be allocated or locked.
bool AllocateDib(UINT width, UINT height, int bits, DibRows rows, DibBlock& block);

/// Unlocks and frees a block and clears the four addresses. Returns false
/// when no block was held.
bool ReleaseDib(HGLOBAL& handle, BYTE*& bits, RGBQUAD*& table, BITMAPINFOHEADER*& header);

#endif  // ZENTREL_IMAGE_DIBBLOCK_H
