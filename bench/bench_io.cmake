# The companion I/O library's benchmark needs the library (built with GDAL).
if(TARGET ZentrelIO)
  target_link_libraries(bench_io PRIVATE Zentrel::IO)
  target_compile_definitions(bench_io PRIVATE ZENTREL_BENCH_HAVE_IO=1)
endif()
