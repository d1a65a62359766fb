// libFuzzer entry: one whole activation from the input bytes through the
// stand-in host with its checks on: every host promise checked on every input.
#include "tests/support/CheckedHost.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string errors = CheckActivation(data, size);
    if (!errors.empty()) {
        std::fprintf(stderr, "host invariant broken:\n%s", errors.c_str());
        std::abort();
    }
    return 0;
}
