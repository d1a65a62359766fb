# Cross build of the module for 32-bit Windows with the mingw-w64 toolchain.
# The win32 thread-model compilers need no winpthread DLL, so with the static
# runtime options the module imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(OSTREL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTREL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
