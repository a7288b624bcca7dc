# The vectorising pipeline lives in the tool's static library.
target_link_libraries(${name} PRIVATE zentrel_cli)
