# OpenCV's imgproc as a peer measured in the same run (benchmark only): the
# benchmark ${name} gets ZENTREL_BENCH_HAVE_OPENCV and the libraries when
# they are installed, and runs without its peer rows otherwise.
find_path(ZENTREL_BENCH_OPENCV_INCLUDE opencv2/imgproc.hpp PATH_SUFFIXES opencv4)
find_library(ZENTREL_BENCH_OPENCV_CORE opencv_core)
find_library(ZENTREL_BENCH_OPENCV_IMGPROC opencv_imgproc)
if(ZENTREL_BENCH_OPENCV_INCLUDE AND ZENTREL_BENCH_OPENCV_CORE AND ZENTREL_BENCH_OPENCV_IMGPROC)
  target_include_directories(${name} SYSTEM PRIVATE ${ZENTREL_BENCH_OPENCV_INCLUDE})
  target_link_libraries(${name} PRIVATE ${ZENTREL_BENCH_OPENCV_IMGPROC} ${ZENTREL_BENCH_OPENCV_CORE})
  target_compile_definitions(${name} PRIVATE ZENTREL_BENCH_HAVE_OPENCV)
else()
  message(STATUS "${name}: OpenCV imgproc not found, its peer rows are left out")
endif()
