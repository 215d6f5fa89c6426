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
