// The process's heap, tuned for what the command does: one import after
// another, each allocating tables of tens of megabytes, releasing them and
// allocating the converter's as large again. One implementation per
// platform (Memory-posix.cpp, Memory-win32.cpp).
#pragma once

// Called once before anything is allocated in bulk. Afterwards memory freed
// by the module or the converter stays with the process and is reused by
// the next large allocation, rather than being returned to the system and
// taken back as fresh pages (zeroed page by page by the kernel, a third of
// a conversion's time on some virtual machines). The peak stays that of
// the largest step. Where the system's allocator already does so, nothing.
void KeepFreedMemoryForReuse();
