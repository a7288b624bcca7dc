// Little-endian 64-bit and 32-bit word loads and stores at any address, a
// byte reversal and a cache prefetch hint, used by the row and tile kernels
// to move several bytes at a time. Compilers turn each into a single
// instruction on common hosts.
#ifndef ZENTREL_TRANSFORM_WORDBYTES_H
#define ZENTREL_TRANSFORM_WORDBYTES_H

#include <cstdint>
#include <cstring>

#include "ZentrelPlatform.h"

namespace zentrel::detail {

/// The eight bytes of v in the opposite order.
inline std::uint64_t ReverseBytes64(std::uint64_t v) {
#if defined(__GNUC__)
  return __builtin_bswap64(v);
#else
  v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
  v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
  return (v << 32) | (v >> 32);
#endif
}

inline std::uint32_t ReverseBytes32(std::uint32_t v) {
  v = ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu);
  return (v << 16) | (v >> 16);
}

#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndianHost = true;
#else
constexpr bool kBigEndianHost = false;
#endif

inline std::uint64_t LoadWord64(const BYTE* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return kBigEndianHost ? ReverseBytes64(v) : v;
}

inline void StoreWord64(BYTE* p, std::uint64_t v) {
  if (kBigEndianHost) v = ReverseBytes64(v);
  std::memcpy(p, &v, 8);
}

inline std::uint32_t LoadWord32(const BYTE* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return kBigEndianHost ? ReverseBytes32(v) : v;
}

inline void StoreWord32(BYTE* p, std::uint32_t v) {
  if (kBigEndianHost) v = ReverseBytes32(v);
  std::memcpy(p, &v, 4);
}

/// Asks the processor to start loading the cache line at p; only a hint, it
/// never faults.
inline void PrefetchLine(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

/// As PrefetchLine, for a line that is about to be written.
inline void PrefetchLineForWrite(void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p, 1);
#else
  (void)p;
#endif
}

}  // namespace zentrel::detail

#endif  // ZENTREL_TRANSFORM_WORDBYTES_H
