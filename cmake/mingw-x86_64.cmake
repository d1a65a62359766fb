# Cross build for 64-bit Windows with the mingw-w64 toolchain. The shipped
# module and ostrel.exe are 32-bit (cmake/mingw-i686.cmake); this build of the
# same sources lets tools/check-windows.sh run the Windows code under a 64-bit
# Wine on a machine whose kernel runs no 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSTREL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTREL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
