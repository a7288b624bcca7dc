// The host's limit on what one read may allocate for the image block.
#ifndef ZENTREL_FILES_READLIMIT_H
#define ZENTREL_FILES_READLIMIT_H

#include <cstdint>

#include "image/DibLayout.h"

namespace zentrel::detail {

/// The block size a read may reach: the host's limit, where 0 (and anything
/// above the library's cap) means the cap.
inline std::uint64_t EffectiveReadLimit(DWORD hostLimit) {
  return hostLimit == 0 || hostLimit > kMaxBlockBytes ? kMaxBlockBytes : hostLimit;
}

/// True when a width × height image at bits 8 or 24 (both dimensions
/// positive) needs a block larger than the limit allows.
inline bool ExceedsReadLimit(std::uint32_t width, std::uint32_t height, int bits, DWORD hostLimit) {
  const DibLayout layout = MakeDibLayout(width, height, bits);
  const std::uint64_t limit = EffectiveReadLimit(hostLimit);
  return layout.rowBytes > limit || layout.blockBytes > limit;
}

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_READLIMIT_H
