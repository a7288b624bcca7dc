// Replacement allocation operators that can refuse a chosen nothrow
// allocation and note the largest one asked for. All forms allocate with malloc and release with
// free, so that the sanitizers see matching pairs.
#include "support/AllocationFaults.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_countdown{0};  // 0: disarmed
std::atomic<bool> g_triggered{false};
std::atomic<long> g_nothrowCount{0};
std::atomic<std::size_t> g_largest{0};

void* AllocateOrNull(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }

void* AllocateNothrow(std::size_t bytes) {
  g_nothrowCount.fetch_add(1);
  std::size_t seen = g_largest.load();
  while (bytes > seen && !g_largest.compare_exchange_weak(seen, bytes)) {
  }
  long left = g_countdown.load();
  while (left > 0) {
    if (g_countdown.compare_exchange_weak(left, left - 1)) {
      if (left == 1) {
        g_triggered.store(true);
        return nullptr;
      }
      break;
    }
  }
  return AllocateOrNull(bytes);
}

void* AllocateOrThrow(std::size_t bytes) {
  void* p = AllocateOrNull(bytes);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateNothrow(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return AllocateNothrow(bytes);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace zt {

FailNthAllocation::FailNthAllocation(long n) {
  g_triggered.store(false);
  g_countdown.store(n > 0 ? n : 0);
}
FailNthAllocation::~FailNthAllocation() { g_countdown.store(0); }
bool FailNthAllocation::Triggered() const { return g_triggered.load(); }
long NothrowAllocationCount() { return g_nothrowCount.load(); }
void ResetLargestRequest() { g_largest.store(0); }
std::size_t LargestRequest() { return g_largest.load(); }

}  // namespace zt
