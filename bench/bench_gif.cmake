# giflib is the baseline decoder (and writes the sample files); linked into
# this benchmark only.
find_library(ZENTREL_BENCH_GIFLIB gif REQUIRED)
find_path(ZENTREL_BENCH_GIFLIB_INCLUDE gif_lib.h REQUIRED)
target_include_directories(${name} PRIVATE ${ZENTREL_BENCH_GIFLIB_INCLUDE})
target_link_libraries(${name} PRIVATE ${ZENTREL_BENCH_GIFLIB})
