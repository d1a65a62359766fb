#include "model/Table.h"

#include <cstdlib>
#include <cstring>

// Where the first write to a fresh page of memory is expensive (on a virtual
// machine it can cost several microseconds per 4 KiB page, more than parsing
// the bytes that fill it), the big tables are better backed by 2 MiB pages:
// one fault then covers 512 small ones. On 64-bit Linux a block of
// kMappedFrom bytes or more is therefore mapped directly, at a 2 MiB aligned
// address, in whole 2 MiB units, and advised for huge pages. It grows with
// mremap, in place or by moving its pages (nothing is copied; the system
// keeps large mappings 2 MiB aligned, so whole huge pages move as they are;
// were it not to, the pages would still work, as small ones). Smaller blocks, other systems and the
// sanitizer builds (whose checks only cover the heap) use realloc. Whether a block is mapped
// follows from its size alone, so the callers pass sizes instead of keeping a flag.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_TABLES_ON_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(OSTREL_PLAIN_TABLE_MEMORY)
#define OSTREL_TABLES_ON_HEAP 1
#endif
#if !defined(__linux__) || UINTPTR_MAX <= 0xffffffffu
#define OSTREL_TABLES_ON_HEAP 1
#endif

#ifndef OSTREL_TABLES_ON_HEAP
#include <sys/mman.h>

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMappedFrom = size_t{256} << 10;

bool IsMapped(size_t bytes) {
    return bytes >= kMappedFrom;
}

size_t MappedSize(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

// `size` is a multiple of kHugePage.
void* MapAligned(size_t size) {
    void* raw =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
    if (aligned != start) {
        munmap(raw, aligned - start);
    }
    const uintptr_t tail = start + size + kHugePage - (aligned + size);
    if (tail != 0) {
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, size, MADV_HUGEPAGE); // advice only: small pages work too
    return block;
}

} // namespace

void* ResizeTableBlock(void* block, size_t oldBytes, size_t newBytes) {
    if (!IsMapped(oldBytes) && !IsMapped(newBytes)) {
        return std::realloc(block, newBytes);
    }
    if (newBytes > SIZE_MAX - 2 * kHugePage) {
        return nullptr; // rounding up, and the alignment slack, would overflow
    }
    if (!IsMapped(oldBytes) || !IsMapped(newBytes)) {
        // Crossing the threshold: copy (the heap side is below kMappedFrom).
        void* moved = IsMapped(newBytes) ? MapAligned(MappedSize(newBytes)) : std::malloc(newBytes);
        if (moved == nullptr) {
            return nullptr;
        }
        if (block != nullptr) {
            std::memcpy(moved, block, oldBytes < newBytes ? oldBytes : newBytes);
        }
        FreeTableBlock(block, oldBytes);
        return moved;
    }
    const size_t oldSize = MappedSize(oldBytes);
    const size_t newSize = MappedSize(newBytes);
    if (newSize == oldSize) {
        return block;
    }
    if (newSize < oldSize) {
        munmap(static_cast<char*>(block) + newSize, oldSize - newSize);
        return block;
    }
    void* moved = mremap(block, oldSize, newSize, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}

void FreeTableBlock(void* block, size_t bytes) {
    if (IsMapped(bytes)) {
        munmap(block, MappedSize(bytes));
    } else {
        std::free(block);
    }
}

#else

void* ResizeTableBlock(void* block, size_t, size_t newBytes) {
    return std::realloc(block, newBytes);
}

void FreeTableBlock(void* block, size_t) {
    std::free(block);
}

#endif
