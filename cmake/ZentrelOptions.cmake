# Compiler settings shared by the library, its tools, tests and benchmarks.
include(GNUInstallDirs)

# Results must be bit-exact: no fused multiply-add, no reordering of
# floating-point operations.
set(ZENTREL_COMMON_FLAGS -Wall -Wextra -ffp-contract=off -fno-fast-math)
if(ZENTREL_WERROR)
  list(APPEND ZENTREL_COMMON_FLAGS -Werror)
endif()
set(ZENTREL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

function(zentrel_apply_options target)
  target_compile_options(${target} PRIVATE ${ZENTREL_COMMON_FLAGS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Calls between the library's own exported functions need not go through the PLT.
    target_compile_options(${target} PRIVATE -fno-semantic-interposition)
  endif()
  if(ZENTREL_SANITIZE)
    target_compile_options(${target} PRIVATE ${ZENTREL_SANITIZE_FLAGS})
    target_link_options(${target} PRIVATE ${ZENTREL_SANITIZE_FLAGS})
  endif()
endfunction()
