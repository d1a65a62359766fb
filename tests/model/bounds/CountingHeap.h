// The bounds tests' allocator: global operator new and delete, and (outside
// sanitizer builds) malloc, realloc and free, count the bytes the plug-in
// holds (current and peak) and can make the N-th allocation fail. Only the
// plug-in's own code is counted (gInPluginCode, standin/CallbackGuard.h):
// what the host allocates, in its callbacks or around the activation, is
// neither counted nor failed.
#pragma once

#include <cstddef>
#include <cstdint>

size_t HeapCurrent();
size_t HeapPeak();
// Starts a new peak at the current level.
void HeapResetPeak();
// From now on the n-th counted allocation throws std::bad_alloc (n >= 1);
// 0 disarms. Counting of attempts restarts at each call.
void HeapFailAllocation(int64_t n);
// Counted allocations attempted since the last HeapFailAllocation.
int64_t HeapAttempts();
// False in sanitizer builds, where malloc and realloc are not counted.
bool HeapCountsMalloc();
