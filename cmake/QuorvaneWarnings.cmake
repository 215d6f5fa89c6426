# Strict warnings, as errors, for our own code only (not GoogleTest).
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough -Werror
    # GCC reports impossible overlaps inside libstdc++'s own string concatenation when it
    # optimises (its bug 105329); the warning says nothing about our code.
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
endfunction()

# Picks the platform's variant of a seam: foo_win32.cpp on Windows, foo_posix.cpp elsewhere (and
# their suites, foo_win32_test(s).cpp and foo_posix_test(s).cpp).
function(quorvane_platform_filter out_var)
  set(result)
  foreach(file ${ARGN})
    if(WIN32 AND file MATCHES "_posix(_tests?)?\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND file MATCHES "_win32(_tests?)?\\.cpp$")
      continue()
    endif()
    list(APPEND result ${file})
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()
