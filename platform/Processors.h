// How many processors this process may run on: those of its affinity (a
// `taskset`, a container's share), not all the machine has. One source per
// system: Processors-posix.cpp, Processors-win32.cpp.
#pragma once

#include <cstddef>

// At least 1.
size_t UsableProcessors();
