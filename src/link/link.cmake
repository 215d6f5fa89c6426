# Ableton Link (Debian's ableton-link-dev, header-only on standalone Asio from libasio-dev): the
# common beat timeline the rigs share and the room locks to. GPL-2.0-or-later, covered by our
# GPL-3.0-or-later.
#
# As for the web remote, the cross compiler must not see the build machine's /usr/include: the link
# layer sees a folder of links to the two library folders alone. MinGW's Windows headers are
# lower-case while Link includes them in mixed case, so on Windows that folder also holds three
# headers that only include MinGW's own.
find_path(QUORVANE_LINK_DIR ableton/Link.hpp
  PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(QUORVANE_ASIO_DIR asio.hpp
  PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUORVANE_LINK_DIR OR NOT QUORVANE_ASIO_DIR)
  message(FATAL_ERROR "the rigs' shared beat needs Debian's ableton-link-dev and libasio-dev (scripts/setup)")
endif()
set(QUORVANE_LINK_HEADERS ${CMAKE_BINARY_DIR}/link_headers CACHE INTERNAL "Link and Asio, alone")
file(MAKE_DIRECTORY ${QUORVANE_LINK_HEADERS})
foreach(entry asio asio.hpp)
  if(NOT EXISTS ${QUORVANE_LINK_HEADERS}/${entry})
    file(CREATE_LINK ${QUORVANE_ASIO_DIR}/${entry} ${QUORVANE_LINK_HEADERS}/${entry} SYMBOLIC)
  endif()
endforeach()
if(NOT EXISTS ${QUORVANE_LINK_HEADERS}/ableton)
  file(CREATE_LINK ${QUORVANE_LINK_DIR}/ableton ${QUORVANE_LINK_HEADERS}/ableton SYMBOLIC)
endif()
if(WIN32)
  foreach(pair "WS2tcpip.h:ws2tcpip.h" "WinSock2.h:winsock2.h" "Windows.h:windows.h")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 mixed)
    list(GET pair 1 lower)
    file(WRITE ${QUORVANE_LINK_HEADERS}/${mixed}.new "#pragma once\n#include <${lower}>\n")
    file(COPY_FILE ${QUORVANE_LINK_HEADERS}/${mixed}.new ${QUORVANE_LINK_HEADERS}/${mixed}
      ONLY_IF_DIFFERENT)
    file(REMOVE ${QUORVANE_LINK_HEADERS}/${mixed}.new)
  endforeach()
endif()
target_include_directories(quorvane_link SYSTEM PRIVATE ${QUORVANE_LINK_HEADERS})
target_compile_options(quorvane_link PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-tsan>
  $<$<CXX_COMPILER_ID:GNU>:-Wno-null-dereference>)
if(WIN32)
  target_compile_definitions(quorvane_link PRIVATE LINK_PLATFORM_WINDOWS=1 _WIN32_WINNT=0x0601)
  target_link_libraries(quorvane_link PUBLIC ws2_32 iphlpapi)
else()
  target_compile_definitions(quorvane_link PRIVATE LINK_PLATFORM_LINUX=1)
  # Link's triple buffer asks whether its atomics are lock-free: clang leaves that to libatomic.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_link_libraries(quorvane_link PUBLIC atomic)
  endif()
endif()
