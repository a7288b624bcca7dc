include(${CMAKE_CURRENT_SOURCE_DIR}/opencv-peer.cmake)
# The nearest-values mean's own copy with the lanes named, as the tests
# build it, so that the ways a processor without AVX-512BW (or without AVX2)
# takes are timed on this one as well.
include(${PROJECT_SOURCE_DIR}/cmake/ZentrelPortableCleanup.cmake)
zentrel_add_portable_cleanup(bench_cleanup)
target_include_directories(bench_cleanup PRIVATE ${PROJECT_SOURCE_DIR}/tests)
