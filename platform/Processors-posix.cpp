#include "platform/Processors.h"

#ifdef __linux__
#include <sched.h>
#endif
#include <unistd.h>

size_t UsableProcessors() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        return count > 0 ? static_cast<size_t>(count) : 1;
    }
#endif
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<size_t>(online) : 1;
}
