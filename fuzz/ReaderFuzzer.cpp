// libFuzzer entry: the reader and the grouping alone, their tables checked.
#include "tests/support/ModelInvariants.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string error = CheckReader(data, size);
    if (!error.empty()) {
        std::fprintf(stderr, "table invariant broken: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}
