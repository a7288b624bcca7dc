# The viewer's placement of the sheet; built only with the tools.
if(TARGET zentrel_view_core)
  target_link_libraries(${name} PRIVATE zentrel_view_core)
else()
  set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
