#include "platform/Processors.h"

#include <windows.h>

#include <bitset>

size_t UsableProcessors() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return std::bitset<sizeof(DWORD_PTR) * 8>(process).count();
    return 1;
}
