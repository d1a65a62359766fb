// The process's heap, tuned for what the command does. The command runs one
// import after another. Each allocates tables of tens of megabytes, releases
// them, and allocates the converter's as large again. There is one
// implementation per platform (Memory-posix.cpp, Memory-win32.cpp).
#pragma once

// Called once before anything is allocated in bulk. Afterwards, memory freed by
// the module or the converter stays with the process. The next large allocation
// reuses it. Otherwise it would go back to the system and be taken back as
// fresh pages. The kernel zeroes those page by page, which takes a third of a
// conversion's time on some virtual machines. The peak stays that of the
// largest step. Where the system's allocator already keeps freed memory, this
// does nothing.
void KeepFreedMemoryForReuse();
