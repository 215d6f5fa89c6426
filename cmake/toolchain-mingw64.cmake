# Cross-compiles for 64-bit Windows with MinGW-w64's posix thread model (std::thread needs it) and
# runs what it builds under Wine, so ctest drives the Windows test executables like native ones.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVANE_MINGW_PREFIX}-windres)
set(CMAKE_AR ${QUORVANE_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUORVANE_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${QUORVANE_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything we link carries its C++ runtime and winpthread inside: the extension may import only
# system DLLs, and the test programs then run under Wine without any MinGW DLL on its path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and add_custom_command run the built programs through this wrapper (a private Wine prefix
# in the build tree, no dialogs, exit code passed through).
get_filename_component(QUORVANE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVANE_SOURCE_ROOT}/scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix)
