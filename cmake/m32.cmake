# 32-bit x86 Linux build of everything. Its programs run through user-mode
# emulation unless OSTREL_M32_NATIVE says the build machine's kernel executes
# i386 binaries itself (tools/check-32bit.sh sets it after probing).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

set(OSTREL_M32_NATIVE OFF CACHE BOOL
    "Run the 32-bit programs directly (the kernel executes i386 code) instead of under qemu")

# add_test, gtest_discover_tests and custom commands prefix target
# executables with this.
if(OSTREL_M32_NATIVE)
  unset(CMAKE_CROSSCOMPILING_EMULATOR)
else()
  find_program(OSTREL_QEMU_I386 NAMES qemu-i386-static qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTREL_QEMU_I386})
endif()
