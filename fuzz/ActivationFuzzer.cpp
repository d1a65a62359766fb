// libFuzzer entry: one whole activation from the input bytes through the
// recording host, every host promise checked on every input.
#include "tests/support/FakeHost.h"

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
