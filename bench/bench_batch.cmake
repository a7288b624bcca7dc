# The batch benchmark runs the tool's own batch code.
if(TARGET zentrel_cli)
  target_link_libraries(bench_batch PRIVATE zentrel_cli)
else()
  set_target_properties(bench_batch PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
