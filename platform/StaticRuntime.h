// What a program that carries the C++ runtime inside needs of the system's
// C library. The engine's shared library and the add-on's converter link
// the runtime statically, so that they load on older systems too.
//
// The runtime's std::random_device can draw from arc4random. The C library
// has only had it since version 2.36 (Ubuntu 22.04 has 2.35). Nothing here
// uses std::random_device, but the runtime's archive member is pulled in all
// the same, through its string and exception members. StaticRuntime-posix.cpp
// defines arc4random within the program itself, from the kernel's random
// source. Windows programs need nothing of the kind.
#pragma once

#include <cstdint>

extern "C" uint32_t arc4random(void);
