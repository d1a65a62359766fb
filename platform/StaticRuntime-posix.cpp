#include "platform/StaticRuntime.h"

#include <sys/random.h>

extern "C" uint32_t arc4random(void) {
    uint32_t value = 0;
    while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    }
    return value;
}
