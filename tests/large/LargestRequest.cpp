// Allocation operators that note the size of each nothrow request. All
// forms use malloc and free, so the sanitizers see matching pairs.
#include "LargestRequest.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_largest{0};

void* Allocate(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }

void* AllocateNoting(std::size_t bytes) {
  std::size_t seen = g_largest.load();
  while (bytes > seen && !g_largest.compare_exchange_weak(seen, bytes)) {
  }
  return Allocate(bytes);
}

void* AllocateOrThrow(std::size_t bytes) {
  void* p = Allocate(bytes);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateNoting(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateNoting(bytes);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace large {

void ResetLargestRequest() { g_largest.store(0); }
std::size_t LargestRequest() { return g_largest.load(); }

}  // namespace large
