# zentrel_add_portable_cleanup(target): compiles into `target` its own copy
# of the noise filters, built with ZENTREL_CLEANUP_PORTABLE: the mean filters
# without SIMD lanes (one row at a time), the rank filters without their
# AVX2 loops unless a caller names them. The library keeps its own copies
# internal, so the two do not meet. The median's and the nearest-values
# mean's wider loops, when named, obtain their scratch memory through the
# platform layer's Memory.cpp, compiled in as well.
function(zentrel_add_portable_cleanup target)
  foreach(source MeanFilters RankFilters MedianWindow NearestWindow NearestCounting)
    set(portable_source ${PROJECT_SOURCE_DIR}/src/cleanup/${source}.cpp)
    target_sources(${target} PRIVATE ${portable_source})
    set_source_files_properties(${portable_source} TARGET_DIRECTORY ${target}
      PROPERTIES COMPILE_DEFINITIONS ZENTREL_CLEANUP_PORTABLE)
  endforeach()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/Memory.cpp)
endfunction()
