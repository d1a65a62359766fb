// The add-on's Linux converter links the C++ runtime statically, and that
// runtime's std::random_device can draw from arc4random, which the C library
// has only had since version 2.36; the reference alone would keep the
// converter off systems with an older C library (Ubuntu 22.04 has 2.35).
// Nothing here uses std::random_device, but the runtime's archive member is
// pulled in all the same (through its string and exception members). This
// definition satisfies the reference within the program itself, from the
// kernel's random source.
#include <cstdint>
#include <sys/random.h>

extern "C" uint32_t arc4random(void) {
    uint32_t value = 0;
    while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    }
    return value;
}
