#include "CountingHeap.h"

#include "standin/CallbackGuard.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

// Sanitizers bring their own allocator: under them only operator new is
// counted, and the tables (which grow with realloc) escape the count.
#if defined(__SANITIZE_ADDRESS__)
#define OSTREL_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_COUNT_MALLOC 0
#endif
#endif
#ifndef OSTREL_COUNT_MALLOC
#define OSTREL_COUNT_MALLOC 1
#endif

#if OSTREL_COUNT_MALLOC
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}
#define RAW_MALLOC __libc_malloc
#define RAW_REALLOC __libc_realloc
#define RAW_FREE __libc_free
#else
#define RAW_MALLOC std::malloc
#define RAW_REALLOC std::realloc
#define RAW_FREE std::free
#endif

namespace {

// Every block carries its size, the start of the raw block (which differs
// for over-aligned blocks) and whether it was counted, in a header that keeps
// the caller's part aligned as malloc's is.
struct alignas(std::max_align_t) Header {
    size_t size;
    void* raw;
    bool counted;
};

size_t gCurrent = 0;
size_t gPeak = 0;
int64_t gFailAt = 0;
int64_t gAttempts = 0;

// Counts an attempt; false when this one is to fail.
bool Admit(bool counted) {
    if (!counted) {
        return true;
    }
    ++gAttempts;
    return !(gFailAt > 0 && gAttempts == gFailAt);
}

void Account(Header* h, size_t size, bool counted) {
    h->size = size;
    h->counted = counted;
    if (counted) {
        gCurrent += size;
        if (gCurrent > gPeak) {
            gPeak = gCurrent;
        }
    }
}

Header* HeaderOf(void* p) {
    return static_cast<Header*>(p) - 1;
}

void* RawAllocate(size_t size, size_t alignment) {
    const bool counted = gInPluginCode > 0;
    if (!Admit(counted) || size > SIZE_MAX / 2) {
        return nullptr;
    }
    if (alignment < alignof(Header)) {
        alignment = alignof(Header);
    }
    const size_t extra = alignment - alignof(Header);
    void* raw = RAW_MALLOC(sizeof(Header) + extra + size);
    if (raw == nullptr) {
        return nullptr;
    }
    auto start = reinterpret_cast<uintptr_t>(raw) + sizeof(Header);
    start = (start + alignment - 1) / alignment * alignment;
    Header* h = reinterpret_cast<Header*>(start) - 1;
    h->raw = raw;
    Account(h, size, counted);
    return h + 1;
}

void Release(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    Header* h = HeaderOf(p);
    if (h->counted) {
        gCurrent -= h->size;
    }
    RAW_FREE(h->raw);
}

void* Allocate(size_t size) {
    void* p = RawAllocate(size, alignof(std::max_align_t));
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

} // namespace

#if OSTREL_COUNT_MALLOC
extern "C" {
void* malloc(size_t size) {
    return RawAllocate(size, alignof(std::max_align_t));
}
void free(void* p) {
    Release(p);
}
void* calloc(size_t n, size_t size) {
    if (size != 0 && n > SIZE_MAX / 2 / size) {
        return nullptr;
    }
    void* p = RawAllocate(n * size, alignof(std::max_align_t));
    if (p != nullptr) {
        std::memset(p, 0, n * size);
    }
    return p;
}
void* realloc(void* p, size_t size) {
    if (p == nullptr) {
        return malloc(size);
    }
    Header* h = HeaderOf(p);
    if (h->raw != static_cast<void*>(h) || size > SIZE_MAX / 2) {
        // over-aligned blocks are never reallocated in practice: copy
        void* q = malloc(size);
        if (q != nullptr) {
            std::memcpy(q, p, h->size < size ? h->size : size);
            Release(p);
        }
        return q;
    }
    const bool counted = h->counted;
    if (!Admit(counted)) {
        return nullptr;
    }
    const size_t old = h->size;
    void* raw = RAW_REALLOC(h, sizeof(Header) + size);
    if (raw == nullptr) {
        return nullptr;
    }
    h = static_cast<Header*>(raw);
    h->raw = raw;
    if (counted) {
        gCurrent -= old;
    }
    Account(h, size, counted);
    return h + 1;
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    void* p = RawAllocate(size, alignment);
    if (p == nullptr) {
        return 12; // ENOMEM
    }
    *out = p;
    return 0;
}
void* aligned_alloc(size_t alignment, size_t size) {
    return RawAllocate(size, alignment);
}
void* memalign(size_t alignment, size_t size) {
    return RawAllocate(size, alignment);
}
void* valloc(size_t size) {
    return RawAllocate(size, 4096);
}
void* pvalloc(size_t size) {
    return RawAllocate((size + 4095) / 4096 * 4096, 4096);
}
size_t malloc_usable_size(void* p) {
    return p == nullptr ? 0 : HeaderOf(p)->size;
}
}
#endif

bool HeapCountsMalloc() {
    return OSTREL_COUNT_MALLOC != 0;
}

size_t HeapCurrent() {
    return gCurrent;
}
size_t HeapPeak() {
    return gPeak;
}
void HeapResetPeak() {
    gPeak = gCurrent;
}
void HeapFailAllocation(int64_t n) {
    gFailAt = n;
    gAttempts = 0;
}
int64_t HeapAttempts() {
    return gAttempts;
}

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
