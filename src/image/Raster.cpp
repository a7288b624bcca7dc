// The checked raster of a packed DIB block: the one place where a header a
// host may have written is weighed against the block it heads.
#include "image/Raster.h"

#include "image/DibLayout.h"
#include "platform/Memory.h"

namespace zentrel::detail {

Raster CheckedRaster(HGLOBAL block, const BITMAPINFOHEADER* header, RGBQUAD* table, BYTE* bits,
                     UINT width, UINT height, UINT lineBytes) {
  if (!block || !header || !table || !bits || width == 0 || height == 0) return {};
  // header-must-fit-block: the header's depth is the host's to write, but
  // the rows and table lie as the block was made for its own depth.
  const int depth = header->biBitCount;
  if (depth != BlockDepth(table, bits)) return {};
  if (DibRowBytes(width, static_cast<std::uint64_t>(depth)) != lineBytes) return {};

  const BYTE* start = reinterpret_cast<const BYTE*>(header);
  const std::size_t blockBytes = GlobalSize(block);
  if (bits < start || static_cast<std::size_t>(bits - start) > blockBytes) return {};
  const std::size_t areaBytes = blockBytes - static_cast<std::size_t>(bits - start);
  if (std::uint64_t{lineBytes} * height > areaBytes) return {};

  Raster raster = Raster::Rows(bits, width, height, lineBytes, depth, depth == 8 ? table : nullptr);
  raster.areaBytes = areaBytes;
  return raster;
}

bool HeaderDescribes(const BITMAPINFOHEADER* header, const Raster& raster) {
  return header && !raster.Empty() && header->biSize == kHeaderBytes &&
         static_cast<std::int64_t>(header->biWidth) == std::int64_t{raster.width} &&
         static_cast<std::int64_t>(header->biHeight) == std::int64_t{raster.height} &&
         header->biBitCount == raster.depth;
}

}  // namespace zentrel::detail
