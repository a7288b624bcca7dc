// Records the largest allocation the library asks for: this test program
// replaces the allocation operators with ones that note each nothrow
// request's size (the library allocates only through those).
#ifndef ZENTREL_TESTS_LARGE_LARGESTREQUEST_H
#define ZENTREL_TESTS_LARGE_LARGESTREQUEST_H

#include <cstddef>

namespace large {

/// Forgets the requests made so far.
void ResetLargestRequest();
/// The largest nothrow request since the last reset, in bytes.
std::size_t LargestRequest();

}  // namespace large

#endif  // ZENTREL_TESTS_LARGE_LARGESTREQUEST_H
