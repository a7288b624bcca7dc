// Little-endian 64-bit and 32-bit word loads and stores at any address, and
// a byte reversal, used by the row and tile kernels to move eight bytes at a
// time. Compilers turn each into a single instruction on common hosts.
#ifndef ZENTREL_TRANSFORM_WORDBYTES_H
#define ZENTREL_TRANSFORM_WORDBYTES_H

#include <cstdint>

#include "ZentrelPlatform.h"

inline std::uint64_t LoadWord64(const BYTE* p) {
  std::uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

inline void StoreWord64(BYTE* p, std::uint64_t v) {
  for (int k = 0; k < 8; ++k) p[k] = static_cast<BYTE>(v >> (8 * k));
}

inline std::uint32_t LoadWord32(const BYTE* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreWord32(BYTE* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<BYTE>(v >> (8 * k));
}

/// The eight bytes of v in the opposite order.
inline std::uint64_t ReverseBytes64(std::uint64_t v) {
  v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
  v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
  return (v << 32) | (v >> 32);
}

#endif  // ZENTREL_TRANSFORM_WORDBYTES_H
