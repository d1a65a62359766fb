#include "platform/Memory.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks up to 32 MB (the largest mmap threshold the allocator takes)
    // come from the heap instead of mappings of their own, and the heap's
    // free top is kept up to 1 GB.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
}
