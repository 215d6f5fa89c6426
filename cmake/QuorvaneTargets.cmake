# A static library from a glob that may still be empty while its folder is being written: CMake
# refuses a library without sources, so an empty one gets a placeholder translation unit.
function(quorvane_static_library name)
  set(sources ${ARGN})
  if(NOT sources)
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    if(NOT EXISTS ${placeholder})
      file(WRITE ${placeholder} "// ${name} has no sources yet.\n")
    endif()
    set(sources ${placeholder})
  endif()
  add_library(${name} STATIC ${sources})
endfunction()

# One layer of the extension as its own static library, with a check that runs before its sources
# compile: every `#include "dir/..."` in the layer's files (headers too) must name one of the
# ALLOWS prefixes and none of the FORBIDS prefixes, so that an include against the direction of
# the layers fails the build.
#   quorvane_layer(name FILES <sources and headers> ALLOWS <prefixes> [FORBIDS <prefixes>])
function(quorvane_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "FILES;ALLOWS;FORBIDS")
  set(sources ${layer_FILES})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  quorvane_static_library(${name} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  quorvane_warnings(${name})

  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}_includes.stamp)
  string(REPLACE ";" "," files "${layer_FILES}")
  string(REPLACE ";" "," allows "${layer_ALLOWS}")
  string(REPLACE ";" "," forbids "${layer_FORBIDS}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLAYER=${name} -DFILES=${files} -DALLOWS=${allows}
      -DFORBIDS=${forbids} -P ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${layer_FILES} ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
    COMMENT "Checking the includes of ${name}"
    VERBATIM)
  add_custom_target(${name}_includes DEPENDS ${stamp})
  add_dependencies(${name} ${name}_includes)
endfunction()
