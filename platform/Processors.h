// How many processors this process may run on. These are the ones of its
// affinity, such as a `taskset` or a container's share, not all the machine
// has. There is one source per system: Processors-posix.cpp and
// Processors-win32.cpp.
#pragma once

#include <cstddef>

// At least 1.
size_t UsableProcessors();
