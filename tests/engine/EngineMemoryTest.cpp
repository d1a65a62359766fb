// Memory running out inside an import is an outcome, never an abort: the
// heap is made to fail at its first, second, third ... allocation of an
// import of the cube (object, shading, edge mesh and a file of each writer that forms
// its file itself: OBJ, and glb with its JSON), until an import makes it
// through. Each must end with a result the header names, and free
// what it took (the sanitizer build and valgrind see to the freeing): the
// model's bytes staged for the plug-in are removed too, however the import
// ended.
//
//     engine_memory_test EXAMPLES_DIR
#include "engine/ostrel.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include <dirent.h>
#include <unistd.h>

namespace {
// The engine reads the warnings on a thread of its own: both count.
std::atomic<long> gAllocationsLeft{-1}; // -1: no limit
std::atomic<bool> gFailed{false};
} // namespace

void* operator new(std::size_t size) {
    long left = gAllocationsLeft.load();
    while (left > 0 && !gAllocationsLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        gFailed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
// Every other form goes through the one above, so that a sanitizer sees
// each block freed as it was taken.
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

// Imports the cube with the heap failing at each allocation in turn; the
// number of faults found.
int FailEachAllocation(ostrel_request* request, const std::string& bytes, const char* format) {
    const size_t files = std::string(format) == "obj" ? 2 : 1; // the OBJ with its MTL
    int failures = 0;
    long limit = 0;
    int outOfMemory = 0;
    for (;; ++limit) {
        gFailed = false;
        gAllocationsLeft = limit;
        ostrel_import* done = ostrel_import_run(request, "cube.rk4", bytes.data(), bytes.size());
        gAllocationsLeft = -1;
        const int result = ostrel_result(done);
        if (result < OSTREL_LOADED || result > OSTREL_BAD_REQUEST) {
            std::printf("FAILED: %s: allocation %ld failing gives result %d\n", format, limit,
                        result);
            ++failures;
        }
        outOfMemory += result == OSTREL_OUT_OF_MEMORY || result == OSTREL_NOT_CONVERTED;
        const bool complete = result == OSTREL_LOADED && ostrel_file_count(done) == files &&
                              ostrel_triangle_count(done) == 12;
        ostrel_import_free(done);
        if (!gFailed) {
            if (!complete) {
                std::printf("FAILED: %s: without a failing allocation the cube does not import\n",
                            format);
                ++failures;
            }
            break;
        }
    }
    if (outOfMemory == 0) {
        std::printf("FAILED: %s: no import said it ran out of memory\n", format);
        ++failures;
    }
    std::printf("engine memory test, %s: %ld failing allocations, %d said so\n", format, limit,
                outOfMemory);
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: engine_memory_test EXAMPLES_DIR\n");
        return 2;
    }
    // A temporary folder of its own, to see that nothing is left there.
    char scratch[] = "/tmp/ostrel-memory-test-XXXXXX";
    if (::mkdtemp(scratch) == nullptr || ::setenv("TMPDIR", scratch, 1) != 0) {
        std::fprintf(stderr, "engine_memory_test: cannot make a temporary folder\n");
        return 2;
    }
    std::ifstream in(std::string(argv[1]) + "/cube.rk4", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int failures = 0;
    for (const char* format : {"obj", "glb"}) {
        ostrel_request* request = ostrel_request_new();
        ostrel_request_set(request, OSTREL_SHADING, 1);
        ostrel_request_set(request, OSTREL_EDGE_MESH, 1);
        ostrel_request_set(request, OSTREL_RIGHT_HANDED, 1);
        ostrel_request_format(request, format);
        failures += FailEachAllocation(request, bytes, format);
        ostrel_request_free(request);
    }
    size_t left = 0;
    if (DIR* folder = ::opendir(scratch)) {
        while (const dirent* entry = ::readdir(folder))
            left += std::string(entry->d_name) != "." && std::string(entry->d_name) != "..";
        ::closedir(folder);
    }
    if (left != 0) {
        std::printf("FAILED: %zu temporary files or folders left in %s\n", left, scratch);
        ++failures;
    } else {
        ::rmdir(scratch);
    }
    std::printf("engine memory test: %s\n", failures ? "FAILED" : "passed");
    return failures != 0;
}
