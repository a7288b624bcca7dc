// Simulated allocation failures for fault tests.
//
// The library allocates only through the nothrow forms of operator new (its
// blocks and scratch buffers never throw). A test program that uses this
// header replaces the global allocation operators with ones that can be told
// to refuse one of those nothrow allocations, so that a test can check how
// an operation behaves when memory runs out. Ordinary (throwing) allocations
// of the test code itself are never refused.
#ifndef ZENTREL_TESTS_ALLOCATIONFAULTS_H
#define ZENTREL_TESTS_ALLOCATIONFAULTS_H

#include <cstddef>

namespace zt {

/// While it exists, the nth nothrow allocation from now on (1 = the next
/// one) returns null; every other allocation succeeds.
class FailNthAllocation {
 public:
  explicit FailNthAllocation(long n);
  ~FailNthAllocation();
  FailNthAllocation(const FailNthAllocation&) = delete;
  FailNthAllocation& operator=(const FailNthAllocation&) = delete;
  /// True once the refusal has happened.
  bool Triggered() const;
};

/// Number of nothrow allocations made since the program started.
long NothrowAllocationCount();

/// Forgets the nothrow requests made so far.
void ResetLargestRequest();
/// The largest nothrow request since the last reset, in bytes.
std::size_t LargestRequest();

}  // namespace zt

#endif  // ZENTREL_TESTS_ALLOCATIONFAULTS_H
