// The owning handle of a packed DIB block, its allocation and release: the
// readers, the record and the turns build a block in one and hand it on.
#ifndef ZENTREL_IMAGE_DIBBLOCK_H
#define ZENTREL_IMAGE_DIBBLOCK_H

#include <utility>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// Whether a new block's pixel rows and spare row are zero-filled, or left
/// for a caller that fills every byte of them itself.
enum class DibRows { Zeroed, FilledByCaller };

/// A locked block, the addresses of its parts and the image it was made
/// for. It owns the block: the block is released when the handle goes out
/// of scope, unless it was moved on first. Move-only.
class DibBlock {
 public:
  DibBlock() = default;
  ~DibBlock() { Release(); }
  DibBlock(DibBlock&& other) noexcept { *this = std::move(other); }
  DibBlock& operator=(DibBlock&& other) noexcept;
  DibBlock(const DibBlock&) = delete;
  DibBlock& operator=(const DibBlock&) = delete;

  /// Takes ownership of a block held in raw fields (a keeper that stores the
  /// four addresses) and clears them. The image's size and depth are taken
  /// from the block's header, the row length follows from them. An empty
  /// handle when no block was held.
  static DibBlock TakeFrom(HGLOBAL& handle, BITMAPINFOHEADER*& header, RGBQUAD*& table,
                           BYTE*& bits);
  /// Gives the block to a keeper's raw fields; this handle then holds
  /// nothing and the keeper must release the block (ReleaseDib).
  void HandTo(HGLOBAL& handle, BITMAPINFOHEADER*& header, RGBQUAD*& table, BYTE*& bits);

  /// Unlocks and frees the block, if one is held; the handle is then empty.
  void Release();

  BITMAPINFOHEADER* Header() const { return m_header; }
  /// The colour table; the same address as Bits() in a block without one.
  RGBQUAD* Table() const { return m_table; }
  /// The bottom stored row.
  BYTE* Bits() const { return m_bits; }
  /// Bytes per stored row, padding included.
  UINT RowBytes() const { return m_rowBytes; }
  UINT Width() const { return m_width; }
  UINT Height() const { return m_height; }

 private:
  friend bool AllocateDib(UINT width, UINT height, int bits, DibRows rows, DibBlock& block);

  HGLOBAL m_handle = nullptr;
  BITMAPINFOHEADER* m_header = nullptr;
  RGBQUAD* m_table = nullptr;
  BYTE* m_bits = nullptr;
  UINT m_rowBytes = 0;
  UINT m_width = 0;
  UINT m_height = 0;
};

/// Allocates, locks and heads a block for a width × height image at 8 or 24
/// bits into block (releasing what it held): the header as a fresh image has
/// it, the colour table all zero. Refuses (returns false, block empty) other
/// depths, a width or height below 1 or above 2^31 − 1, a block over the
/// size limit, and a block that cannot be allocated or locked.
bool AllocateDib(UINT width, UINT height, int bits, DibRows rows, DibBlock& block);

/// Unlocks and frees a block held in raw fields and clears the four
/// addresses. Returns false when no block was held.
bool ReleaseDib(HGLOBAL& handle, BYTE*& bits, RGBQUAD*& table, BITMAPINFOHEADER*& header);

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_DIBBLOCK_H
